// The renderer: the windows' designs as real widgets, and the events they report.
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "about_window/frm_about.h"
#include "main_window/frm_scan.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/window_handle.h"
#include "platform/window_geometry.h"
#include "progress_window/scan_progress.h"

using namespace quorvin;
using namespace quorvin::platform;
using namespace quorvin::platform::qt;

namespace {

struct Recorder final : EventSink {
    void onEvent(std::string_view control, Event event) override
    {
        static const char* const kNames[] = {"click", "change", "unload"};
        events << QString::fromStdString(std::string(control) + ":" + kNames[static_cast<int>(event)]);
    }
    QStringList events;
};

}  // namespace

class QtWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        prepareApplication();
        dpi = QGuiApplication::primaryScreen()->logicalDotsPerInch();
    }

    void twipsBecomePixelsAtTheScreensDpi()
    {
        QCOMPARE(twipsToPixels(1440, 96), 96);
        QCOMPARE(twipsToPixels(15, 96), 1);
        QCOMPARE(twipsToPixels(1440, 144), 144);
        QCOMPARE(twipsToPixels(6060, 96), 404);
    }

    void mainWindowPlacesItsControlsAndStates()
    {
        Recorder sink;
        const auto window = windows.create(frmScanDesign(), sink);
        windows.show(*window);
        QWidget* form = widgetOf(window->handle());
        QVERIFY(QTest::qWaitForWindowActive(form));
        QCOMPARE(form->size(), QSize(px(6060), px(2610)));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QVERIFY(!(form->windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
        QVERIFY(form->windowFlags() & Qt::WindowCloseButtonHint);

        QCOMPARE(child<QPushButton>(form, "Scan_Select")->geometry(), QRect(px(120), px(480), px(4575), px(495)));
        auto* path = child<QLineEdit>(form, "Text4");
        QCOMPARE(path->parentWidget(), child<QGroupBox>(form, "Frame1"));  // placed inside the frame
        QCOMPARE(path->geometry(), QRect(px(720), px(360), px(4935), px(285)));
        QVERIFY(path->isReadOnly());
        QCOMPARE(path->palette().color(QPalette::Base), QColor(0xC0, 0xFF, 0xC0));
        auto* search = child<QLineEdit>(form, "ScanString");
        QVERIFY(!search->isReadOnly());
        QCOMPARE(search->palette().color(QPalette::Base), QColor(0xC0, 0xFF, 0xFF));
        QVERIFY(child<QLineEdit>(form, "Text3")->isHidden() && child<QLabel>(form, "Label4")->isHidden());
        QVERIFY(!window->control("Text3").visible() && window->control("Text2").visible());
        QCOMPARE(child<QPushButton>(form, "Command2")->iconSize(), QSize(32, 32));
        QCOMPARE(child<QPushButton>(form, "Command1")->toolTip(), QStringLiteral("Quitter le programme"));

        // Tab order follows the tab indexes: the disabled button (0) is skipped, then 1, then 4.
        QCOMPARE(QApplication::focusWidget(), search);
        QTest::keyClick(search, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(form, "Text1"));

        // Every change of a text box is reported, typed or set by the program.
        QTest::keyClick(search, Qt::Key_X);
        window->control("Text4").setText(u"/tmp/x");
        QCOMPARE(sink.events, QStringList({"ScanString:change", "Text4:change"}));
        QTest::mouseClick(child<QPushButton>(form, "Scan_Select"), Qt::LeftButton);  // disabled
        QTest::mouseClick(child<QPushButton>(form, "Command2"), Qt::LeftButton);
        QCOMPARE(sink.events.last(), QStringLiteral("Command2:click"));

        form->close();
        windows.unload(*window);
        QCOMPARE(sink.events.filter(QStringLiteral(":unload")).size(), 1);
    }

    void aboutWindowColoursFontsPicturesAndLines()
    {
        Recorder sink;
        const auto window = windows.create(frmAboutDesign(), sink);
        windows.show(*window);
        QWidget* form = widgetOf(window->handle());
        QVERIFY(QTest::qWaitForWindowActive(form));

        auto* title = child<QLabel>(form, "lblTitle");
        QCOMPARE(title->palette().color(QPalette::WindowText), QColor(0x00, 0xFF, 0x00));
        QCOMPARE(title->font().pointSizeF(), 9.75);
        QVERIFY(title->font().bold());
        QVERIFY(QFontInfo(title->font()).family().startsWith(QStringLiteral("Comic")));
        QVERIFY(!QFontInfo(child<QPushButton>(form, "cmdSysInfo")->font()).family().startsWith("Comic"));
        QCOMPARE(child<QLabel>(form, "Label2")->palette().color(QPalette::WindowText), QColor(0xFF, 0x00, 0x00));

        auto* donation = child<QLabel>(form, "Image2");
        QCOMPARE(donation->pixmap().size(), QSize(100, 44));
        QVERIFY(!donation->hasScaledContents());
        QVERIFY(child<QLabel>(form, "Image1")->hasScaledContents());
        for (const char* link : {"Image2", "Label3", "lblDisclaimer"}) {
            QCOMPARE(child<QWidget>(form, link)->cursor().shape(), Qt::PointingHandCursor);
        }

        // Black background; the etched pair: white (2 pixels) above grey.
        const QImage image = form->grab().toImage();
        QCOMPARE(image.pixelColor(2, 2), QColor(Qt::black));
        const int x = px(3000);
        QCOMPARE(image.pixelColor(x, px(1200) - 1), QColor(Qt::white));
        QCOMPARE(image.pixelColor(x, px(1200)), QColor(Qt::white));
        QCOMPARE(image.pixelColor(x, px(1217)), QColor(0x80, 0x80, 0x80));

        // Enter presses the focused button, else the default one; Escape presses the cancel button.
        QCOMPARE(QApplication::focusWidget(), child<QPushButton>(form, "cmdOK"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        child<QPushButton>(form, "Command1")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTest::mouseClick(child<QLabel>(form, "Label3"), Qt::LeftButton);
        QCOMPARE(sink.events, QStringList({"cmdOK:click", "Command1:click", "cmdOK:click", "Label3:click"}));
    }

    void modalWindowReturnsOnUnloadAndOwnedWindowAtOnce()
    {
        Recorder mainSink, aboutSink, progressSink;
        const auto owner = windows.create(frmScanDesign(), mainSink);
        windows.show(*owner);
        const auto about = windows.create(frmAboutDesign(), aboutSink);
        bool blocked = false;
        QTimer::singleShot(50, [&] {
            blocked = QApplication::activeModalWidget() == widgetOf(about->handle());
            windows.unload(*about);
        });
        windows.showModal(*about, *owner);
        QVERIFY(blocked);
        QCOMPARE(aboutSink.events, QStringList({":unload"}));

        const auto progress = windows.create(frmProgressDesign(), progressSink);
        windows.showOwned(*progress, *owner);
        QCOMPARE(QApplication::activeModalWidget(), widgetOf(progress->handle()));
        progress->control("barProgress").setText(u"42");
        QCOMPARE(progress->control("barProgress").text(), u"42");
        QCOMPARE(widgetOf(progress->handle())->findChild<QProgressBar*>()->value(), 42);
        QTest::keyClick(widgetOf(progress->handle()), Qt::Key_Escape);
        QCOMPARE(progressSink.events, QStringList({"cmdCancel:click"}));
        windows.unload(*progress);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

private:
    int px(int twips) const { return twipsToPixels(twips, dpi); }
    template <class T>
    static T* child(QWidget* form, const char* name)
    {
        return form->findChild<T*>(QLatin1String(name));
    }

    QtWindowSystem windows;
    double dpi = 96;
};

QTEST_MAIN(QtWindowsTest)
#include "qt_windows_test.moc"
