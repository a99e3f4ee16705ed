#include "app/command_strings.h"

#include "res/resource.h"

QString CommandString(int id) {
    switch (id) {
    case ID_FONT_BIGGER:
        return QStringLiteral(u"增大字体\n增大字体(B)");
    case ID_FONT_SMALLER:
        return QStringLiteral(u"减少字体\n减少字体(S)");
    case ID_ROW_DIS_BIGGER:
        return QStringLiteral(u"增大行距\n增大行距(R)");
    case ID_ROW_DIS_SMALLER:
        return QStringLiteral(u"减小行距\n减小行距(T)");
    case ID_NEXT_PAGE:
        return QStringLiteral(u"下一页\n下一页(->)");
    case ID_PREV_PAGE:
        return QStringLiteral(u"上一页\n上一页(<-)");
    case ID_NEXT_SCREEN:
        return QStringLiteral(u"下一屏\n下一屏");
    case ID_PREV_SCREEN:
        return QStringLiteral(u"上一屏\n上一屏");
    case ID_GOTO_PAGE:
        return QStringLiteral(u"跳转页面\n跳转页面(G)");
    case ID_AUTO_SCROLL:
        return QStringLiteral(u"自动滚屏\n自动滚屏");
    case ID_CHAPTER_LIST:
        return QStringLiteral(u"章节目录\n目录(M)");
    case ID_SHELF:
        return QStringLiteral(u"书架：所有的书和阅读进度\n书架(L)");
    case ID_OPEN_READ_MARK:
        return QStringLiteral(u"打开书签\n书签");
    case ID_NET_LIBRARY:
        return QStringLiteral(u"打开网络书库\n网络书库");
    case ID_OPTION:
        return QStringLiteral(u"设置\n设置");
    case ID_FILE_OPEN:
        return QStringLiteral(u"打开现有文档\n打开");
    case ID_APP_ABOUT:
        return QStringLiteral(u"显示程序信息、版本号和版权\n关于");
    default:
        return {};
    }
}

QString CommandPrompt(int id) {
    return CommandString(id).section(QLatin1Char('\n'), 0, 0);
}

QString CommandToolTip(int id) {
    return CommandString(id).section(QLatin1Char('\n'), 1, 1);
}
