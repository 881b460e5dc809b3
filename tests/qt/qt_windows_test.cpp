// The renderer: the windows' designs as real widgets, and the events they report.
#include <QAccessible>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include "about_window/frm_about.h"
#include "main_window/frm_scan.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/window_handle.h"
#include "platform/window_geometry.h"
#include "progress_window/scan_progress.h"
#include "qt_test_support.h"
#include "scanner/text_place.h"

using namespace quorvin;
using namespace quorvin::platform;
using namespace quorvin::platform::qt;
using quorvin::qttest::qs;

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
        QCOMPARE(form->size(), QSize(px(6060), px(3450)));
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
        // The place's two fields below, read-only, the last the Tab reaches, after the About button.
        auto* place = child<QLineEdit>(form, "Text5");
        auto* line = child<QLineEdit>(form, "Text6");
        QCOMPARE(place->geometry(), QRect(px(960), px(1200), px(4695), px(285)));
        QCOMPARE(line->geometry(), QRect(px(960), px(1560), px(4695), px(285)));
        QVERIFY(place->isReadOnly() && line->isReadOnly());
        auto* about = child<QPushButton>(form, "Command2");
        about->setFocus(Qt::TabFocusReason);
        QTest::keyClick(about, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), place);
        QTest::keyClick(place, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), line);
        search->setFocus(Qt::TabFocusReason);

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
        QCOMPARE(donation->pixmap().deviceIndependentSize(), QSizeF(100, 44));
        QVERIFY(!donation->hasScaledContents());
        QVERIFY(child<QLabel>(form, "Image1")->hasScaledContents());
        for (const char* link : {"Image2", "Label3", "lblDisclaimer"}) {
            QCOMPARE(child<QWidget>(form, link)->cursor().shape(), Qt::PointingHandCursor);
        }

        // Black background; the etched pair: white (2 pixels) above grey.
        const QImage image = form->grab().toImage();
        const qreal scale = image.devicePixelRatio();
        const auto at = [&](int x, int y) { return image.pixelColor(qRound(x * scale), qRound(y * scale)); };
        QCOMPARE(at(2, 2), QColor(Qt::black));
        const int x = px(3000);
        QCOMPARE(at(x, px(1200) - 1), QColor(Qt::white));
        QCOMPARE(at(x, px(1200)), QColor(Qt::white));
        QCOMPARE(at(x, px(1217)), QColor(0x80, 0x80, 0x80));

        // Enter presses the focused button, else the default one; Escape presses the cancel button.
        QCOMPARE(QApplication::focusWidget(), child<QPushButton>(form, "cmdOK"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        child<QPushButton>(form, "Command1")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTest::mouseClick(child<QLabel>(form, "Label3"), Qt::LeftButton);
        QCOMPARE(sink.events, QStringList({"cmdOK:click", "Command1:click", "cmdOK:click", "Label3:click"}));
    }

    // Tab reaches the links where the design puts them, Enter and Space press them as a click does, and
    // the focused control, link or button, shows a ring that stands out (run at 1x and 2x).
    void keyboardReachesAndPressesTheLinks()
    {
        Recorder sink;
        const auto window = windows.create(frmAboutDesign(), sink);
        windows.show(*window);
        QWidget* form = widgetOf(window->handle());
        QVERIFY(QTest::qWaitForWindowActive(form));
        QCOMPARE(QApplication::focusWidget(), child<QPushButton>(form, "cmdOK"));
        expectFocusRing(form);
        for (const char* next : {"cmdSysInfo", "lblDisclaimer", "Label3", "Image2", "Command1", "cmdOK"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), QLatin1String(next));
            expectFocusRing(form);
        }
        QVERIFY(sink.events.isEmpty());

        QStringList expected;
        for (const char* link : {"lblDisclaimer", "Label3", "Image2"}) {
            child<QWidget>(form, link)->setFocus(Qt::TabFocusReason);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
            expected << QStringLiteral("%1:click").arg(link) << QStringLiteral("%1:click").arg(link);
        }
        QCOMPARE(sink.events, expected);  // and never the default button
        windows.unload(*window);
    }

    void enterInTheSearchTextPressesTheButton()
    {
        Recorder sink;
        const auto window = windows.create(frmScanDesign(), sink);
        windows.show(*window);
        QWidget* form = widgetOf(window->handle());
        QVERIFY(QTest::qWaitForWindowActive(form));
        auto* search = child<QLineEdit>(form, "ScanString");
        QCOMPARE(QApplication::focusWidget(), search);
        expectFocusRing(form);
        QTest::keyClick(search, Qt::Key_Return);  // the button is disabled
        window->control("Scan_Select").setEnabled(true);
        QTest::keyClick(search, Qt::Key_Return);
        child<QLineEdit>(form, "Text4")->setFocus(Qt::TabFocusReason);  // a field that names no button
        expectFocusRing(form);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(sink.events, QStringList({"Scan_Select:click"}));
        child<QPushButton>(form, "Command1")->setFocus(Qt::TabFocusReason);
        expectFocusRing(form);
        windows.unload(*window);
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

    // Every control of every window has a name a screen reader can say and the role it plays; each field is
    // related to the label that names it; links tell their address and open it when pressed.
    void screenReadersNameEveryControl()
    {
        const auto roleOf = [](const ControlDesign& c) {
            switch (c.kind) {
            case ControlKind::Button:
            case ControlKind::PictureButton:
                return QAccessible::PushButton;
            case ControlKind::Frame:
                return QAccessible::Grouping;
            case ControlKind::TextBox:
                return QAccessible::EditableText;
            case ControlKind::ProgressBar:
                return QAccessible::ProgressBar;
            case ControlKind::Line:
                return QAccessible::Separator;
            case ControlKind::Label:
                return c.linkTarget.empty() ? QAccessible::StaticText : QAccessible::Link;
            case ControlKind::Picture:
                return c.linkTarget.empty() ? QAccessible::Graphic : QAccessible::Link;
            }
            return QAccessible::NoRole;
        };
        for (const WindowDesign* design : {&frmScanDesign(), &frmAboutDesign(), &frmProgressDesign()}) {
            Recorder sink;
            const auto window = windows.create(*design, sink);
            if (design == &frmProgressDesign()) {  // its labels are filled as the search goes
                window->control("lblFile").setText(u"Fichier : f.bin");
                window->control("lblStatus").setText(progressStatus(1000, 4000));
                window->control("barProgress").setText(u"25");
            }
            QWidget* form = widgetOf(window->handle());
            QAccessibleInterface* whole = QAccessible::queryAccessibleInterface(form);
            QCOMPARE(whole->role(), design->border == Border::FixedDialog ? QAccessible::Dialog : QAccessible::Window);
            QCOMPARE(whole->text(QAccessible::Name), qs(design->caption));

            for (const ControlDesign& c : design->controls) {
                const QByteArray context = QByteArray::fromStdString(design->name + "." + c.name);
                QWidget* widget = child<QWidget>(form, c.name.c_str());
                QAccessibleInterface* access = QAccessible::queryAccessibleInterface(widget);
                QVERIFY2(access != nullptr, context);
                QVERIFY2(access->role() == roleOf(c), context);
                if (c.kind == ControlKind::Line) {
                    continue;  // drawn, not read
                }
                const QString name = access->text(QAccessible::Name);
                QVERIFY2(!name.isEmpty(), context);
                if (c.kind == ControlKind::PictureButton) {
                    QCOMPARE(name, qs(c.toolTip));
                }
                if (!c.label.empty()) {
                    auto* label = child<QLabel>(form, c.label.c_str());
                    QCOMPARE(name, label->text());
                    const auto related = access->relations(QAccessible::Label);  // the frame around it too
                    QVERIFY2(std::any_of(related.begin(), related.end(),
                                         [label](const auto& relation) { return relation.first->object() == label; }),
                             context);
                }
                if (!c.linkTarget.empty()) {
                    QCOMPARE(access->text(QAccessible::Value), qs(c.linkTarget));
                    QCOMPARE(access->text(QAccessible::Description), qs(c.linkTarget));  // what AT-SPI tells
                    QVERIFY2(access->state().focusable, context);
                    access->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
                    QCOMPARE(sink.events.last(), QString::fromStdString(c.name + ":click"));
                }
                if (c.kind == ControlKind::ProgressBar) {
                    QCOMPARE(access->valueInterface()->currentValue().toInt(), 25);
                }
            }
            windows.unload(*window);
        }
    }

    // A read-only field that cuts its value shows it whole in its tool tip, wrapped within the screen;
    // fields whose value fits have none.
    void cutValuesShowWholeInTheirToolTips()
    {
        Recorder sink;
        const auto window = windows.create(frmScanDesign(), sink);
        windows.show(*window);
        QWidget* form = widgetOf(window->handle());
        QVERIFY(QTest::qWaitForWindowExposed(form));
        const std::u16string path = u"/home/utilisateur/" + std::u16string(400, u'd') + u"/fichier cherché.txt";
        const std::u16string cut[][2] = {{u"Text4", path}, {u"Text2", u"17179869184"}, {u"Text1", u"1,1574074E-05"}};
        for (const auto& [field, value] : cut) {
            Control& control = window->control(std::string(field.begin(), field.end()));
            control.setText(value);
            QCOMPARE(control.toolTip(), value);
        }
        window->control("ScanString").setText(std::u16string(200, u'x'));  // the user scrolls what they type
        QCOMPARE(window->control("ScanString").toolTip(), u"");

        auto* pathBox = child<QLineEdit>(form, "Text4");
        QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), pathBox->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(pathBox, &hover);
        QTRY_VERIFY(QToolTip::isVisible());
        QVERIFY(QToolTip::text().remove(QChar(0x200B)).contains(qs(path).toHtmlEscaped()));
        for (QWidget* tip : QApplication::topLevelWidgets()) {
            if (tip->inherits("QTipLabel") && tip->isVisible()) {
                QVERIFY(form->screen()->geometry().contains(tip->geometry()));
            }
        }
        QToolTip::hideText();

        window->control("Text4").setText(u"/tmp/f.txt");
        window->control("Text2").setText(u"7");
        QCOMPARE(window->control("Text4").toolTip(), u"");
        QCOMPARE(window->control("Text2").toolTip(), u"");

        // The excerpt of a line around a text found fits its field, cut at both ends, wherever it is cut.
        const std::u16string prose =
            u"Quorvin dit si une chaîne de caractères se trouve dans un fichier : "
            u"2026-12-09 ERREUR disque plein, l'élève brûlée à l'été.";
        for (std::size_t at = 0; at + kExcerptCharacters <= prose.size(); ++at) {
            window->control("Text6").setText(u"…" + prose.substr(at, kExcerptCharacters) + u"…");
            QCOMPARE(window->control("Text6").toolTip(), u"");
        }
        windows.unload(*window);
    }

    // Pictures are drawn at the screen's scale (run at 1x and again with QT_SCALE_FACTOR=2): each pixel of
    // the designed picture becomes a square of pixels, never a blur; the door stays inside its button.
    void picturesAreSharpAtTheScreensScale()
    {
        Recorder sink;
        const auto window = windows.create(frmScanDesign(), sink);
        windows.show(*window);
        QWidget* form = widgetOf(window->handle());
        QVERIFY(QTest::qWaitForWindowExposed(form));
        const qreal scale = form->devicePixelRatioF();
        const auto sharp = [scale](const QString& file) {
            const QImage designed(file);
            QImage image = designed.scaled(designed.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                               .convertToFormat(QImage::Format_ARGB32);
            image.setDevicePixelRatio(scale);
            return image;
        };
        for (const char* name : {"Command1", "Command2"}) {
            auto* button = child<QPushButton>(form, name);
            QCOMPARE(button->iconSize(), QSize(32, 32));
            const QPixmap drawn = button->icon().pixmap(button->iconSize(), scale);
            const char* picture = name == QLatin1String("Command1") ? "quit_button" : "about_button";
            const QString file = QStringLiteral(":/pictures/%1.png").arg(picture);
            QCOMPARE(drawn.toImage().convertToFormat(QImage::Format_ARGB32), sharp(file));
        }
        QCOMPARE(form->windowIcon().availableSizes().size(), 7);  // 16 to 256 pixels

        // Nothing of the door's green arrow on the Quit button's frame.
        auto* quit = child<QPushButton>(form, "Command1");
        const QImage button = quit->grab().toImage();
        const int ring = qRound(2 * scale);
        for (int y = 0; y < button.height(); ++y) {
            for (int x = 0; x < button.width(); ++x) {
                const bool onFrame = x < ring || y < ring || x >= button.width() - ring || y >= button.height() - ring;
                const QColor c = button.pixelColor(x, y);
                QVERIFY2(!onFrame || !(c.green() > 100 && c.red() < 80 && c.blue() < 80),
                         qPrintable(QStringLiteral("green at %1,%2").arg(x).arg(y)));
            }
        }
        windows.unload(*window);

        const auto about = windows.create(frmAboutDesign(), sink);
        const QPixmap donation = child<QLabel>(widgetOf(about->handle()), "Image2")->pixmap();
        QCOMPARE(donation.toImage().convertToFormat(QImage::Format_ARGB32), sharp(":/pictures/donation.png"));
        windows.unload(*about);
    }

private:
    int px(int twips) const { return twipsToPixels(twips, dpi); }

    // Around the focused control of `form`: on each side, a band of the ring's colour as thick as the
    // ring in the screen's pixels, then a gap of the background, then the control.
    static void expectFocusRing(QWidget* form)
    {
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(focused != nullptr && form->isAncestorOf(focused));
        const QImage image = form->grab().toImage();
        const qreal scale = image.devicePixelRatio();
        const QColor back = focused->parentWidget()->palette().color(QPalette::Window);
        const Color want =
            focusRingColor({static_cast<std::uint8_t>(back.red()), static_cast<std::uint8_t>(back.green()),
                            static_cast<std::uint8_t>(back.blue())});
        const QRect box(focused->mapTo(form, QPoint(0, 0)), focused->size());
        const FocusRing ring = focusRingAround({box.x(), box.y(), box.width(), box.height()}, 1);
        const int thick = qRound(ring.thickness * scale), gap = qRound(ring.gap * scale);
        const QByteArray context = focused->objectName().toLatin1();
        // From outside in, across each side's middle: (x, y) of its first pixel and the step inwards.
        const int left = qRound((box.left() - ring.thickness - ring.gap) * scale);
        const int top = qRound((box.top() - ring.thickness - ring.gap) * scale);
        const int right = qRound((box.left() + box.width() + ring.thickness + ring.gap) * scale) - 1;
        const int bottom = qRound((box.top() + box.height() + ring.thickness + ring.gap) * scale) - 1;
        const int middleX = qRound((box.left() + box.width() / 2) * scale);
        const int middleY = qRound((box.top() + box.height() / 2) * scale);
        const struct {
            int x, y, dx, dy;
        } sides[] = {{middleX, top, 0, 1}, {middleX, bottom, 0, -1}, {left, middleY, 1, 0}, {right, middleY, -1, 0}};
        for (const auto& side : sides) {
            for (int i = 0; i < thick + gap; ++i) {
                const QColor seen = image.pixelColor(side.x + i * side.dx, side.y + i * side.dy);
                const bool inRing = seen == QColor(want.red, want.green, want.blue);
                QVERIFY2(inRing == (i < thick), context + " at " + QByteArray::number(i));
            }
        }
    }

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
