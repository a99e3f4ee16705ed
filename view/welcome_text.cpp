#include "view/welcome_text.h"

#include <QString>

const std::u16string& WelcomeText() {
    static const std::u16string text = [] {
        const std::u16string rule(54, u'-');
        std::u16string s;
        s += rule + u"\n";
        s += u"Veska---Veska\n";
        s += std::u16string(27, u' ') + u"版本v" + QStringLiteral(VESKA_VERSION).toStdU16String() +
             u"\n";
        s += rule + u"\n";
        s += u"功能：\n";
        s += u"1.快速打开TXT大文件；\n";
        s += u"2.自动生成标签，阅读更舒服\n";
        s += u"3.自动分页，自动跳转\n";
        s += u"4.支持直接拖拽TXT文件到窗口，即可打开；\n";
        s += u"5.完全自定义设置字体，行距，颜色等参数，并自动保存最后的设置方案和上次的进度；\n";
        s += u"6.支持9个书签的增加，删除，和5个最近文件夹的记录；\n";
        s += u"7.提示信息：文章汉字数，日期等。\n";
        s += std::u16string(73, u'-') + u"\n";
        s += u"欢迎反馈意见，以便更好的完善软件\n";
        return s;
    }();
    return text;
}
