#include "settings/color_static.h"

#include "app/link_opener.h"
#include "tests/app/dialog_test_support.h"

#include <QMouseEvent>
#include <QTest>
#include <QUrl>

namespace {

class ColorStaticTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        m_window.resize(200, 100);
        m_link = new CColorStatic(&m_window);
        m_link->setGeometry(10, 10, 100, 20);
        m_link->setText("link");
        m_window.show();
    }
    void Move(QPoint to) {
        QMouseEvent event(QEvent::MouseMove, QPointF(to), m_link->mapToGlobal(QPointF(to)),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(m_link, &event);
    }

    QWidget m_window;
    CColorStatic* m_link = nullptr;
};

TEST_F(ColorStaticTest, ColourValuesAreRedLowBlueHigh) {
    EXPECT_EQ(CColorStatic::FromQColor(Qt::red), 255u);
    EXPECT_EQ(CColorStatic::FromQColor(Qt::blue), 16711680u);
    EXPECT_EQ(CColorStatic::ToQColor(16579563), QColor(235, 251, 252));
    m_link->SetBackColor(0x00FF00);
    EXPECT_EQ(m_link->m_crBack, 0x00FF00u);
    EXPECT_EQ(m_link->m_brBack.color(), QColor(0, 255, 0));
    EXPECT_EQ(m_link->grab().toImage().pixelColor(50, 10), QColor(0, 255, 0));
}

TEST_F(ColorStaticTest, HoverTurnsTheTextRedAndCapturesUntilThePointerLeaves) {
    m_link->m_crNormalText = m_link->m_crText = 0xFF0000;
    m_link->m_strLink = u"https://example.org/";
    Move(QPoint(5, 5));
    EXPECT_EQ(m_link->m_crText, 255u);
    EXPECT_EQ(QWidget::mouseGrabber(), m_link);
    EXPECT_EQ(m_link->cursor().shape(), Qt::PointingHandCursor);
    Move(QPoint(150, 5)); // outside: seen only thanks to the capture
    EXPECT_EQ(m_link->m_crText, 0xFF0000u);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_NE(m_link->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(ColorStaticTest, NoHandWithoutALinkAndNothingWithoutTheSwitch) {
    Move(QPoint(5, 5));
    EXPECT_EQ(m_link->m_crText, 255u);
    EXPECT_NE(m_link->cursor().shape(), Qt::PointingHandCursor);
    Move(QPoint(-5, 5));
    EXPECT_EQ(m_link->m_crText, 0u);

    m_link->m_bTrackHover = false;
    Move(QPoint(5, 5));
    EXPECT_EQ(m_link->m_crText, 0u);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST_F(ColorStaticTest, HidingReleasesTheCapture) {
    Move(QPoint(5, 5));
    ASSERT_EQ(QWidget::mouseGrabber(), m_link);
    m_link->hide();
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST_F(ColorStaticTest, ClickOpensOnlyAnExistingLinkAndOnlyOnTheControl) {
    std::vector<QUrl> opened;
    ScopedLinkOpener opener([&](const QUrl& url) { opened.push_back(url); });
    QTest::mouseClick(m_link, Qt::LeftButton);
    EXPECT_TRUE(opened.empty());
    m_link->m_strLink = u"https://example.org/a?b=c";
    QTest::mouseClick(m_link, Qt::RightButton);
    EXPECT_TRUE(opened.empty());
    // Captured, a press beside the control still reaches it; it must not count.
    Move(QPoint(5, 5));
    QTest::mousePress(m_link, Qt::LeftButton, {}, QPoint(150, 5));
    EXPECT_TRUE(opened.empty());
    QTest::mouseClick(m_link, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl("https://example.org/a?b=c"));
}

TEST(LinkOpenerTest, PathsBecomeFileUrls) {
    std::vector<QUrl> opened;
    ScopedLinkOpener opener([&](const QUrl& url) { opened.push_back(url); });
    OpenLink(u"/tmp/书.txt");
    OpenLink(u"mailto:someone@example.org");
    OpenLink(u"");
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile("/tmp/书.txt"));
    EXPECT_EQ(opened[1].scheme(), "mailto");
}

} // namespace
