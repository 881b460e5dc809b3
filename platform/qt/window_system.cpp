#include "platform/qt/window_system.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QFocusFrame>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <algorithm>
#include <climits>
#include <map>
#include <optional>
#include <stdexcept>

#include "platform/qt/qt_text.h"
#include "platform/qt/window_handle.h"
#include "platform/window_geometry.h"

namespace quorvin::platform::qt {

namespace {

class QtWindow;

// A window's top-level widget: reports its close box, Enter and Escape, and files dropped on it.
class FormWidget final : public QWidget {
public:
    explicit FormWidget(QtWindow& window) : window_(window) {}
    bool isDialog() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QtWindow& window_;
};

// A label or a picture that reports clicks.
class ClickableLabel final : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> onClick;
    QRect designPlace;
    QString linkTarget;  // a link's address, told to screen readers

    // The designs were drawn for narrower faces than Linux has: a one-line text wider than its label's
    // box grows past the box, inside the label's container, rather than being cut.
    void fitText()
    {
        QRect place = designPlace;
        if (!text().contains(QLatin1Char('\n'))) {
            const Qt::Alignment a = alignment();
            const Align align = a & Qt::AlignRight ? Align::Right : a & Qt::AlignHCenter ? Align::Center : Align::Left;
            const PixelRect box = fitLabel({place.left(), place.top(), place.width(), place.height()},
                                           fontMetrics().horizontalAdvance(text()), align, 0, parentWidget()->width());
            place = QRect(box.left, box.top, box.width, box.height);
        }
        setGeometry(place);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        QLabel::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick) {
            onClick();
        }
    }

    // A link takes the focus from the keyboard, and Enter or Space presses it as a click does (Space on
    // its release, as a button).
    void keyPressEvent(QKeyEvent* event) override
    {
        const int key = event->key();
        if (linkTarget.isEmpty() || (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space)) {
            QLabel::keyPressEvent(event);
            return;
        }
        event->accept();
        if (key != Qt::Key_Space && !event->isAutoRepeat() && onClick) {
            onClick();
        }
    }
    void keyReleaseEvent(QKeyEvent* event) override
    {
        if (linkTarget.isEmpty() || event->key() != Qt::Key_Space) {
            QLabel::keyReleaseEvent(event);
            return;
        }
        event->accept();
        if (!event->isAutoRepeat() && onClick) {
            onClick();
        }
    }
};

// The ring around the control that has the keyboard focus, thick and in a colour that stands out from the
// window, where the styles draw a faint line inside the control or none. It lies over the control's
// parent, outside the control, and lets the mouse through; being a focus frame, screen readers pass it by.
class RingFrame final : public QFocusFrame {
public:
    explicit RingFrame(QWidget* parent) : QFocusFrame(parent) { hide(); }

    // Follows `target`, or hides when it is null.
    void follow(QWidget* target)
    {
        if (target_ != nullptr) {
            target_->removeEventFilter(this);
        }
        target_ = target;
        if (target == nullptr) {
            hide();
            return;
        }
        if (parentWidget() != target->parentWidget()) {
            setParent(target->parentWidget());
        }
        target->installEventFilter(this);
        place();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            if (watched == target_) {
                place();
            }
            break;
        default:
            break;
        }
        return false;
    }

    void paintEvent(QPaintEvent*) override
    {
        const QColor back = parentWidget()->palette().color(QPalette::Window);
        const Color ring =
            focusRingColor({static_cast<std::uint8_t>(back.red()), static_cast<std::uint8_t>(back.green()),
                            static_cast<std::uint8_t>(back.blue())});
        QPainter painter(this);
        const QColor color(ring.red, ring.green, ring.blue);
        for (const PixelRect& side : sidesOf({{0, 0, width(), height()}, thickness_})) {
            painter.fillRect(QRect(side.left, side.top, side.width, side.height), color);
        }
    }

private:
    void place()
    {
        if (target_ == nullptr || target_->isHidden()) {
            hide();
            return;
        }
        // In logical pixels: Qt draws them twice as thick on a screen at 2x.
        const QRect box = target_->geometry();
        const FocusRing ring = focusRingAround({box.x(), box.y(), box.width(), box.height()}, 1);
        thickness_ = ring.thickness;
        setGeometry(ring.outer.left, ring.outer.top, ring.outer.width, ring.outer.height);
        raise();
        show();
        update();
    }

    QPointer<QWidget> target_;
    int thickness_ = 2;
};

// A straight line between two points of its parent, in its colour and width.
class LineWidget final : public QWidget {
public:
    LineWidget(QLine line, QColor color, int width, QWidget* parent)
        : QWidget(parent), line_(line), color_(color), width_(width)
    {
        const int margin = width;
        setGeometry(QRect(line.p1(), line.p2()).normalized().adjusted(-margin, -margin, margin, margin));
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(QPen(color_, width_, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(line_.translated(-pos()));
    }

private:
    QLine line_;
    QColor color_;
    int width_;
};

// Shows a widget's tool tip wrapped, a long path broken anywhere, so that it never runs past the screen.
class WrappedToolTip final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* widget = static_cast<QWidget*>(watched);
        if (event->type() != QEvent::ToolTip || widget->toolTip().isEmpty()) {
            return false;
        }
        const QString wrapped =
            QStringLiteral("<p>") + breakingLongWords(widget->toolTip()).toHtmlEscaped() + QStringLiteral("</p>");
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), wrapped, widget);
        return true;
    }
};

// A read-only field too narrow for its value shows the whole value in its tool tip; one whose value fits
// keeps its designed tool tip (none).
void showWholeValueWhenCut(QLineEdit* edit, const QString& designed)
{
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, designed](const QString& value) {
        const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
        const int room = edit->contentsRect().width() - 2 * frame - 4;  // and the box's own inner margins
        edit->setToolTip(edit->fontMetrics().horizontalAdvance(value) > room ? value : designed);
    });
    edit->installEventFilter(new WrappedToolTip(edit));
}

QColor toQColor(Color color)
{
    return {color.red, color.green, color.blue};
}

class QtControl final : public Control {
public:
    QtControl(ControlKind kind, QWidget* widget, std::u16string text)
        : kind_(kind), widget_(widget), text_(std::move(text))
    {
    }

    std::u16string text() const override
    {
        switch (kind_) {
        case ControlKind::Button:
        case ControlKind::PictureButton:
            return toU16(static_cast<QPushButton*>(widget_)->text());
        case ControlKind::Frame:
            return toU16(static_cast<QGroupBox*>(widget_)->title());
        case ControlKind::TextBox:
            return toU16(static_cast<QLineEdit*>(widget_)->text());
        case ControlKind::ProgressBar:
            return toU16(QString::number(static_cast<QProgressBar*>(widget_)->value()));
        case ControlKind::Label:
            return toU16(static_cast<QLabel*>(widget_)->text());
        default:
            return text_;  // pictures and lines show no text
        }
    }

    void setText(std::u16string_view text) override
    {
        const QString value = toQString(text);
        switch (kind_) {
        case ControlKind::Button:
        case ControlKind::PictureButton:
            static_cast<QPushButton*>(widget_)->setText(value);
            break;
        case ControlKind::Frame:
            static_cast<QGroupBox*>(widget_)->setTitle(value);
            break;
        case ControlKind::TextBox:
            static_cast<QLineEdit*>(widget_)->setText(value);
            static_cast<QLineEdit*>(widget_)->setCursorPosition(0);  // a long text shows its start
            break;
        case ControlKind::ProgressBar:
            static_cast<QProgressBar*>(widget_)->setValue(std::clamp(value.toInt(), 0, 100));
            break;
        case ControlKind::Label:
            static_cast<ClickableLabel*>(widget_)->setText(value);
            static_cast<ClickableLabel*>(widget_)->fitText();
            break;
        default:
            text_ = text;
        }
    }

    std::u16string toolTip() const override { return toU16(widget_->toolTip()); }
    void setToolTip(std::u16string_view toolTip) override { widget_->setToolTip(toQString(toolTip)); }
    bool enabled() const override { return widget_->isEnabled(); }
    void setEnabled(bool enabled) override { widget_->setEnabled(enabled); }
    bool visible() const override { return !widget_->isHidden(); }
    void setVisible(bool visible) override { widget_->setHidden(!visible); }

private:
    ControlKind kind_;
    QWidget* widget_;  // owned by the window's widget
    std::u16string text_;
};

class QtWindow final : public Window {
public:
    QtWindow(QtWindowSystem& system, const WindowDesign& design, EventSink& sink);
    ~QtWindow() override;
    QtWindow(const QtWindow&) = delete;
    QtWindow& operator=(const QtWindow&) = delete;

    std::u16string caption() const override { return toU16(widget_->windowTitle()); }
    void setCaption(std::u16string_view caption) override { widget_->setWindowTitle(toQString(caption)); }
    Control& control(std::string_view name) override;
    WindowHandle handle() const override { return handleOf(widget_); }

    QWidget& widget() { return *widget_; }

    // Reports an event to the window's handlers, unless the window is unloaded or the program ends.
    void fire(std::string_view control, Event event)
    {
        if (loaded && !system_.ended()) {
            sink_.onEvent(control, event);
        }
    }
    void filesDropped(const std::vector<std::u16string>& paths)
    {
        if (loaded && !system_.ended()) {
            sink_.onFilesDropped(paths);
        }
    }
    void closeBox() { system_.unload(*this); }
    void unloaded() { sink_.onEvent("", Event::Unload); }
    bool acceptsDroppedFiles() const { return design_.acceptsDroppedFiles; }
    bool centeredOnOwner() const { return design_.centerOnOwner; }
    bool isDialog() const { return design_.border == Border::FixedDialog; }

    // Gives the focus to the first control in tab order that can take it.
    void focusFirst();
    // The button Enter presses: the focused one, the one the focused field names, else the default one.
    QPushButton* enterButton() const;

    bool loaded = true;
    QEventLoop* modalLoop = nullptr;
    QPushButton* defaultButton = nullptr;
    QPushButton* cancelButton = nullptr;

private:
    QWidget* build(const ControlDesign& c, QWidget* parent, double dpi);
    void nameForScreenReaders();
    void focusChanged(QWidget* now);

    QtWindowSystem& system_;
    const WindowDesign& design_;
    EventSink& sink_;
    QPointer<FormWidget> widget_;
    std::map<std::string, std::unique_ptr<QtControl>, std::less<>> controls_;
    std::vector<QWidget*> tabOrder_;
    std::map<QWidget*, QPushButton*> enterPresses_;  // a field, and the button Enter in it presses
    QPointer<RingFrame> ring_;                       // owned by the window's widget, or by a frame in it
};

// The default face for controls without a font of their own, at the size the designs are drawn for:
// a condensed face where there is one, as the designs' boxes were measured for a narrow face.
QFont defaultFont()
{
    QFont font = QApplication::font();
    if (QFontDatabase::hasFamily(QStringLiteral("DejaVu Sans Condensed"))) {
        font.setFamilies({QStringLiteral("DejaVu Sans Condensed")});
    }
    font.setPointSizeF(Font{}.points);
    return font;
}

// Where a design's face is not installed, its stand-in (Comic Neue for Comic Sans MS) has thinner strokes
// and tiny full stops: at the designs' small sizes its text comes out pale grey, an enabled button looks
// disabled, and "1.1.0" reads "11.0". Below 10 points the stand-in is drawn in its bold weight, about as
// heavy as the design's regular face, whose full stops are whole pixels.
QFont legibleStandIn(QFont qfont, const Font& font)
{
    constexpr double kSmallest = 10;
    if (font.family.empty() || font.points >= kSmallest || QFontDatabase::hasFamily(toQString(font.family))) {
        return qfont;
    }
    qfont.setWeight(QFont::Bold);
    return qfont;
}

QFont toQFont(const Font& font)
{
    QFont qfont = defaultFont();
    if (!font.family.empty()) {
        qfont.setFamilies({toQString(font.family)});
    }
    qfont.setPointSizeF(font.points);
    qfont.setBold(font.bold);
    return legibleStandIn(qfont, font);
}

Qt::Alignment toQtAlignment(Align align)
{
    switch (align) {
    case Align::Center:
        return Qt::AlignHCenter | Qt::AlignTop;
    case Align::Right:
        return Qt::AlignRight | Qt::AlignTop;
    default:
        return Qt::AlignLeft | Qt::AlignTop;
    }
}

void setColor(QWidget* widget, QPalette::ColorRole role, const std::optional<Color>& color)
{
    if (color) {
        QPalette palette = widget->palette();
        palette.setColor(role, toQColor(*color));
        widget->setPalette(palette);
    }
}

QtWindow::QtWindow(QtWindowSystem& system, const WindowDesign& design, EventSink& sink)
    : system_(system), design_(design), sink_(sink), widget_(new FormWidget(*this))
{
    const double dpi = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->logicalDotsPerInch() : 96;
    widget_->setObjectName(QString::fromStdString(design.name));
    widget_->setWindowTitle(toQString(design.caption));
    // A fixed border: a close box, no maximise or minimise.
    widget_->setWindowFlags((design.border == Border::FixedDialog ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint |
                            Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    widget_->setFixedSize(twipsToPixels(design.clientWidth, dpi), twipsToPixels(design.clientHeight, dpi));
    widget_->setFont(defaultFont());
    if (design.background) {
        setColor(widget_, QPalette::Window, design.background);
        widget_->setAutoFillBackground(true);
    }
    if (const QIcon icon = pictureResource(design.icon); !icon.isNull()) {
        widget_->setWindowIcon(icon);
    }
    widget_->setAcceptDrops(design.acceptsDroppedFiles);

    std::map<std::string, QWidget*, std::less<>> containers;
    std::vector<QWidget*> built;
    for (const ControlDesign& c : design.controls) {
        QWidget* parent = c.container.empty() ? widget_.data() : containers.at(c.container);
        QWidget* w = build(c, parent, dpi);
        w->setObjectName(QString::fromStdString(c.name));
        if (!c.toolTip.empty()) {
            w->setToolTip(toQString(c.toolTip));
        }
        w->setEnabled(c.enabled);
        w->setHidden(!c.visible);
        if (c.handCursor) {
            w->setCursor(Qt::PointingHandCursor);
        }
        if (c.font) {
            w->setFont(toQFont(*c.font));
        }
        if (c.kind == ControlKind::Frame) {
            containers.emplace(c.name, w);
        }
        built.push_back(w);
        controls_.emplace(c.name, std::make_unique<QtControl>(c.kind, w, c.text));
    }
    for (const std::size_t i : tabOrder(design.controls)) {
        QWidget* w = built[i];
        if (!inTabOrder(design.controls[i]) || w->focusPolicy() == Qt::NoFocus) {
            continue;
        }
        if (!tabOrder_.empty()) {
            QWidget::setTabOrder(tabOrder_.back(), w);
        }
        tabOrder_.push_back(w);
    }
    for (std::size_t i = 0; i < design.controls.size(); ++i) {
        if (const std::string& button = design.controls[i].enterPresses; !button.empty()) {
            const auto at = std::find_if(design.controls.begin(), design.controls.end(),
                                         [&button](const ControlDesign& c) { return c.name == button; });
            enterPresses_[built[i]] = qobject_cast<QPushButton*>(built.at(at - design.controls.begin()));
        }
    }
    nameForScreenReaders();
    ring_ = new RingFrame(widget_);
    QObject::connect(qApp, &QApplication::focusChanged, ring_, [this](QWidget*, QWidget* now) { focusChanged(now); });
}

void QtWindow::focusChanged(QWidget* now)
{
    const bool ours = now != nullptr && std::find(tabOrder_.begin(), tabOrder_.end(), now) != tabOrder_.end();
    if (ring_) {
        ring_->follow(ours ? now : nullptr);
    }
}

QPushButton* QtWindow::enterButton() const
{
    QWidget* focus = widget_->focusWidget();
    if (auto* button = qobject_cast<QPushButton*>(focus)) {
        return button;
    }
    if (const auto field = enterPresses_.find(focus); field != enterPresses_.end()) {
        return field->second;
    }
    return defaultButton;
}

// Names that neither a text nor a label gives, and labels tied to the fields they name: Qt reads a field's
// name from its label, and relates the two.
void QtWindow::nameForScreenReaders()
{
    for (const ControlDesign& c : design_.controls) {
        auto* w = widget_->findChild<QWidget*>(QString::fromStdString(c.name));
        if (const std::u16string name = accessibleNameOf(c); !name.empty()) {
            w->setAccessibleName(toQString(name));
        }
        if (!c.label.empty()) {
            widget_->findChild<QLabel*>(QString::fromStdString(c.label))->setBuddy(w);
        }
    }
}

QWidget* QtWindow::build(const ControlDesign& c, QWidget* parent, double dpi)
{
    const QRect place(twipsToPixels(c.left, dpi), twipsToPixels(c.top, dpi), twipsToPixels(c.width, dpi),
                      twipsToPixels(c.height, dpi));
    const std::string name = c.name;
    const auto click = [this, name] { fire(name, Event::Click); };
    QWidget* w = nullptr;
    switch (c.kind) {
    case ControlKind::Button:
    case ControlKind::PictureButton: {
        auto* button = new QPushButton(toQString(c.text), parent);
        if (c.kind == ControlKind::PictureButton) {
            const QIcon icon = pictureResource(c.picture);
            button->setIcon(icon);
            if (!icon.availableSizes().isEmpty()) {
                button->setIconSize(icon.availableSizes().constFirst());  // Qt picks the 2x picture where needed
            }
        }
        button->setDefault(c.defaultButton);
        button->setAutoDefault(false);
        if (c.defaultButton) {
            defaultButton = button;
        }
        if (c.cancelButton) {
            cancelButton = button;
        }
        setColor(button, QPalette::Button, c.background);
        setColor(button, QPalette::ButtonText, c.foreground);
        QObject::connect(button, &QPushButton::clicked, click);
        w = button;
        break;
    }
    case ControlKind::Frame: {
        auto* frame = new QGroupBox(toQString(c.text), parent);
        setColor(frame, QPalette::WindowText, c.foreground);
        w = frame;
        break;
    }
    case ControlKind::TextBox: {
        auto* edit = new QLineEdit(toQString(c.text), parent);
        edit->setMaxLength(INT_MAX);  // no limit
        edit->setReadOnly(c.readOnly);
        if (c.readOnly) {
            showWholeValueWhenCut(edit, toQString(c.toolTip));
        }
        setColor(edit, QPalette::Base, c.background);
        setColor(edit, QPalette::Text, c.foreground);
        // Files dropped on the box go to the window.
        edit->setAcceptDrops(!design_.acceptsDroppedFiles);
        QObject::connect(edit, &QLineEdit::textChanged, [this, name] { fire(name, Event::Change); });
        w = edit;
        break;
    }
    case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(parent);
        bar->setRange(0, 100);
        bar->setValue(std::clamp(toQString(c.text).toInt(), 0, 100));
        w = bar;
        break;
    }
    case ControlKind::Label:
    case ControlKind::Picture: {
        auto* label = new ClickableLabel(parent);
        label->linkTarget = toQString(c.linkTarget);  // before anything asks what the label is
        if (!c.linkTarget.empty()) {
            label->setFocusPolicy(Qt::TabFocus);  // as a static control: a click opens it, Tab reaches it
        }
        if (c.kind == ControlKind::Label) {
            label->setTextFormat(Qt::PlainText);
            label->setText(toQString(c.text));
            label->setWordWrap(true);
            label->setAlignment(toQtAlignment(c.align));
        } else {
            const QIcon picture = pictureResource(c.picture);
            if (!picture.availableSizes().isEmpty()) {
                // At the screen's scale: the 2x picture on a 2x screen, each pixel of the 1x one doubled.
                const QSize size = c.stretchPicture ? place.size() : picture.availableSizes().constFirst();
                label->setPixmap(picture.pixmap(size, label->devicePixelRatioF()));
            }
            label->setScaledContents(c.stretchPicture);  // otherwise shown at its own size
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        }
        setColor(label, QPalette::WindowText, c.foreground);
        if (c.background) {
            setColor(label, QPalette::Window, c.background);
            label->setAutoFillBackground(true);
        }
        label->onClick = click;
        label->designPlace = place;
        if (c.kind == ControlKind::Label) {
            label->setFont(c.font ? toQFont(*c.font) : defaultFont());
            label->fitText();
            return label;
        }
        w = label;
        break;
    }
    case ControlKind::Line: {
        // Lines hold their second end in width and height.
        const QLine line(twipsToPixels(c.left, dpi), twipsToPixels(c.top, dpi), twipsToPixels(c.width, dpi),
                         twipsToPixels(c.height, dpi));
        return new LineWidget(line, c.foreground ? toQColor(*c.foreground) : QColor(Qt::black), c.lineWidth, parent);
    }
    }
    w->setGeometry(place);
    return w;
}

QtWindow::~QtWindow()
{
    loaded = false;
    delete widget_.data();  // null when its owner's widget went first
}

Control& QtWindow::control(std::string_view name)
{
    const auto found = controls_.find(name);
    if (found == controls_.end()) {
        throw std::out_of_range("no control " + std::string(name));
    }
    return *found->second;
}

void QtWindow::focusFirst()
{
    for (QWidget* w : tabOrder_) {
        if (w->isEnabled() && w->isVisible() && (w->focusPolicy() & Qt::TabFocus) != 0) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

// Local paths of what is dragged, or nothing when any item is not a local file or folder.
std::optional<std::vector<std::u16string>> localPaths(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls() || data->urls().isEmpty()) {
        return std::nullopt;
    }
    std::vector<std::u16string> paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) {
            return std::nullopt;
        }
        paths.push_back(fromQtPath(url.toLocalFile()));
    }
    return paths;
}

void FormWidget::closeEvent(QCloseEvent* event)
{
    window_.closeBox();
    event->accept();
}

void FormWidget::keyPressEvent(QKeyEvent* event)
{
    const auto press = [](QPushButton* button) {
        if (button == nullptr || !button->isEnabled() || !button->isVisible()) {
            return false;
        }
        button->click();
        return true;
    };
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (press(window_.enterButton())) {
            return;
        }
        break;
    case Qt::Key_Escape:
        if (press(window_.cancelButton)) {
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void FormWidget::dragEnterEvent(QDragEnterEvent* event)
{
    if (window_.acceptsDroppedFiles() && localPaths(event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void FormWidget::dragMoveEvent(QDragMoveEvent* event)
{
    if (window_.acceptsDroppedFiles() && localPaths(event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void FormWidget::dropEvent(QDropEvent* event)
{
    const auto paths = window_.acceptsDroppedFiles() ? localPaths(event->mimeData()) : std::nullopt;
    if (!paths) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    window_.filesDropped(*paths);
}

bool FormWidget::isDialog() const
{
    return window_.isDialog();
}

// A link as screen readers know one: its role, its address as its value and as its description (the
// AT-SPI bridge of Qt 6.4 has no hyperlink interface and tells no value that is not a number), and the
// press that opens it.
class LinkAccessible final : public QAccessibleWidget {
public:
    explicit LinkAccessible(ClickableLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text kind) const override
    {
        const auto* label = static_cast<const ClickableLabel*>(widget());
        if (kind == QAccessible::Value || kind == QAccessible::Description) {
            return label->linkTarget;
        }
        if (kind == QAccessible::Help) {
            return label->toolTip();  // what the description would have said
        }
        if (kind == QAccessible::Name && label->accessibleName().isEmpty()) {
            return label->text();
        }
        return QAccessibleWidget::text(kind);
    }
    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    void doAction(const QString& action) override
    {
        const auto* label = static_cast<const ClickableLabel*>(widget());
        if (action == pressAction()) {
            if (label->onClick) {
                label->onClick();
            }
            return;
        }
        QAccessibleWidget::doAction(action);
    }
};

// Roles that Qt cannot guess from the widgets' classes: windows as windows or dialogs, links, lines.
QAccessibleInterface* accessibleFor(const QString&, QObject* object)
{
    if (auto* form = dynamic_cast<FormWidget*>(object)) {
        return new QAccessibleWidget(form, form->isDialog() ? QAccessible::Dialog : QAccessible::Window);
    }
    if (auto* label = dynamic_cast<ClickableLabel*>(object); label != nullptr && !label->linkTarget.isEmpty()) {
        return new LinkAccessible(label);
    }
    if (auto* line = dynamic_cast<LineWidget*>(object)) {
        return new QAccessibleWidget(line, QAccessible::Separator);
    }
    return nullptr;
}

void centre(QWidget& widget, const QWidget* owner)
{
    QRect area;
    if (owner != nullptr) {
        area = owner->frameGeometry();
    } else if (const QScreen* screen = widget.screen() ? widget.screen() : QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    const QSize size = widget.frameGeometry().size();
    const PixelRect place =
        centred({area.left(), area.top(), area.width(), area.height()}, size.width(), size.height());
    widget.move(place.left, place.top);
}

// Shows `window` over its owner, the rest of the program taking no input until it is unloaded.
void present(QtWindow& window, QtWindow& owner)
{
    QWidget& widget = window.widget();
    widget.setParent(&owner.widget(), widget.windowFlags());
    widget.setWindowModality(Qt::ApplicationModal);
    centre(widget, window.centeredOnOwner() ? &owner.widget() : nullptr);
    widget.show();
    widget.raise();
    widget.activateWindow();
    window.focusFirst();
}

}  // namespace

QIcon pictureResource(const std::string& name)
{
    QIcon icon;
    if (name.empty()) {
        return icon;
    }
    // The picture as designed first, then the same at 2x; the application icon at every size it is drawn.
    const QString base = QStringLiteral(":/pictures/") + QString::fromStdString(name);
    for (const char* suffix :
         {".png", "@2x.png", "_16.png", "_24.png", "_32.png", "_48.png", "_64.png", "_128.png", "_256.png"}) {
        if (QFile::exists(base + QLatin1String(suffix))) {
            icon.addFile(base + QLatin1String(suffix));
        }
    }
    return icon;
}

QtWindowSystem::QtWindowSystem(std::function<void()> endProgram) : endProgram_(std::move(endProgram))
{
    static const bool installed = (QAccessible::installFactory(accessibleFor), true);
    (void)installed;
}

std::unique_ptr<Window> QtWindowSystem::create(const WindowDesign& design, EventSink& sink)
{
    return std::make_unique<QtWindow>(*this, design, sink);
}

void QtWindowSystem::show(Window& window)
{
    auto& qtWindow = static_cast<QtWindow&>(window);
    centre(qtWindow.widget(), nullptr);
    qtWindow.widget().show();
    qtWindow.widget().activateWindow();
    qtWindow.focusFirst();
}

void QtWindowSystem::showModal(Window& window, Window& owner)
{
    auto& qtWindow = static_cast<QtWindow&>(window);
    present(qtWindow, static_cast<QtWindow&>(owner));
    QEventLoop loop;
    qtWindow.modalLoop = &loop;
    if (qtWindow.loaded) {
        loop.exec(QEventLoop::DialogExec);
    }
    qtWindow.modalLoop = nullptr;
}

void QtWindowSystem::showOwned(Window& window, Window& owner)
{
    present(static_cast<QtWindow&>(window), static_cast<QtWindow&>(owner));
}

void QtWindowSystem::waitForEvents(std::int64_t milliseconds, bool userInput)
{
    // Each round handles what came and sleeps until more comes: the timer's own event ends the last one.
    bool timeUp = false;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&timeUp] { timeUp = true; });
    timer.start(static_cast<int>(std::clamp<std::int64_t>(milliseconds, 0, INT_MAX)));
    const QEventLoop::ProcessEventsFlags flags = userInput ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents;
    QCoreApplication::processEvents(flags);  // what is pending, even once woken
    while (!timeUp && !ended_ && !woken_.exchange(false)) {
        QCoreApplication::processEvents(flags | QEventLoop::WaitForMoreEvents);
    }
}

void QtWindowSystem::wake()
{
    woken_ = true;
    // An event of its own for the wait to handle; posting is safe from any thread.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
}

void QtWindowSystem::unload(Window& window)
{
    auto& qtWindow = static_cast<QtWindow&>(window);
    if (!qtWindow.loaded) {
        return;
    }
    qtWindow.loaded = false;
    qtWindow.widget().hide();
    if (qtWindow.modalLoop != nullptr) {
        qtWindow.modalLoop->quit();
    }
    if (!ended_) {
        qtWindow.unloaded();
    }
}

void QtWindowSystem::endProgram()
{
    ended_ = true;
    if (endProgram_) {
        endProgram_();
    } else {
        QCoreApplication::exit(0);
    }
}

}  // namespace quorvin::platform::qt
