#include "forms/widgets.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>

namespace forms {

QRect twips(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

void set_focus_chain(const std::vector<QWidget*>& chain) {
    for (std::size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

QString plain_tooltip(const QString& text) {
    return text.isEmpty()
               ? QString()
               : QStringLiteral("<p style=\"white-space:pre\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

caption_label::caption_label(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void caption_label::setCaption(const QString& caption) {
    caption_ = caption;
    show_caption();
}

void caption_label::show_caption() {
    QString shown = caption_;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (elide_) {
        shown = elided_path(shown, fontMetrics(), contentsRect().width());
        setToolTip(shown == caption_ ? QString() : plain_tooltip(caption_));
    }
    setText(shown);
    fit_text();
}

void caption_label::setShrinkToFit(bool shrink) {
    shrink_ = shrink;
    fit_text();
}

void caption_label::setElidePath(bool elide) {
    elide_ = elide;
    show_caption();
}

void caption_label::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    if (elide_)
        show_caption();
    else
        fit_text();
}

QString elided_path(const QString& text, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    const int name_at = int(std::max(text.lastIndexOf(QLatin1Char('/')), text.lastIndexOf(QLatin1Char('\\')))) + 1;
    const QString name = text.mid(name_at);
    const int room = width - metrics.horizontalAdvance(name);
    if (name_at == 0 || room < metrics.horizontalAdvance(QStringLiteral("/…/")))
        return metrics.elidedText(text, Qt::ElideMiddle, width);
    return metrics.elidedText(text.left(name_at), Qt::ElideMiddle, room) + name;
}

active_label::active_label(QWidget* parent) : caption_label(parent) {
    setActive(false);
}

void active_label::setActive(bool active) {
    active_ = active;
    setFocusPolicy(active ? Qt::StrongFocus : Qt::NoFocus);
    setCursor(active ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void active_label::mouseReleaseEvent(QMouseEvent* event) {
    if (active_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit activated();
    caption_label::mouseReleaseEvent(event);
}

void active_label::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (active_ && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
        emit activated();
        return;
    }
    caption_label::keyPressEvent(event);
}

void caption_label::fit_text() {
    if (!shrink_)
        return;
    QFont font = parentWidget() ? parentWidget()->font() : QLabel::font();
    const qreal designed = font.pointSizeF();
    for (qreal size = designed; size >= designed * 0.75; size -= 0.25) {
        font.setPointSizeF(size);
        const QRect needed = QFontMetrics(font).boundingRect(QRect(0, 0, width(), 10000), Qt::TextWordWrap, text());
        if (needed.height() <= height())
            break;
    }
    setFont(font);
}

wrap_button::wrap_button(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

void wrap_button::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect inside = rect().adjusted(3, 2, -3, -2);
    style()->drawItemText(&painter, inside, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, palette(),
                          isEnabled(), text(), QPalette::ButtonText);
}

wrap_check_box::wrap_check_box(const QString& text, QWidget* parent) : QCheckBox(text, parent) {}

QSize wrap_check_box::sizeHint() const {
    return size();
}

void wrap_check_box::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    QRect indicator = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
    indicator.moveTop((height() - indicator.height()) / 2);
    QStyleOptionButton box = option;
    box.rect = indicator;
    painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, box);
    QRect label = rect();
    label.setLeft(indicator.right() + 5);
    style()->drawItemText(&painter, label, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap | Qt::TextShowMnemonic,
                          palette(), isEnabled(), text(), QPalette::WindowText);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = label;
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

bool wrap_check_box::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

namespace {

// The part of a control its parent shows, less a frame's border line.
QRect shown_part(const QWidget* w) {
    const QWidget* parent = w->parentWidget();
    if (!parent || w->isWindow())
        return w->rect();
    const int border = qobject_cast<const QGroupBox*>(parent) ? 2 : 0;
    const QRect inside = parent->rect().adjusted(0, 0, -border, -border);
    return inside.intersected(w->geometry()).translated(-w->pos());
}

struct text_room {
    QString text;
    QRect room;
    bool wraps = false;
};

// What a control shows as text, and where; an empty text for controls that show none.
text_room room_of(const QWidget* w) {
    const QRect part = shown_part(w);
    const QStyle* style = w->style();
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) {
        int indicator = 0;
        if (qobject_cast<const QRadioButton*>(w))
            indicator = style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, w) +
                        style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, w);
        else if (qobject_cast<const QCheckBox*>(w))
            indicator = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w) +
                        style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w);
        const int margin = qobject_cast<const QPushButton*>(w) ? 3 : 0;
        return {b->text(), part.adjusted(indicator + margin, 0, -margin, 0),
                qobject_cast<const wrap_button*>(w) || qobject_cast<const wrap_check_box*>(w)};
    }
    if (auto* l = qobject_cast<const QLabel*>(w))
        return {l->pixmap().isNull() ? l->text() : QString(), part.intersected(l->contentsRect()), l->wordWrap()};
    if (auto* g = qobject_cast<const QGroupBox*>(w))
        return {g->title(), part.adjusted(8, 0, -8, 0), false};
    return {};
}

bool fits(const QWidget* w, const text_room& r) {
    QString text = r.text;
    text.remove(QLatin1Char('&'));
    const int height = qobject_cast<const QGroupBox*>(w) ? 100000 : r.room.height();
    const QRect needed = QFontMetrics(w->font()).boundingRect(QRect(0, 0, qMax(r.room.width(), 1), 100000),
                                                              r.wraps ? int(Qt::TextWordWrap) : 0, text);
    return needed.width() <= r.room.width() && needed.height() <= height;
}

} // namespace

QStringList clipped_texts(QWidget* window) {
    QStringList clipped;
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        const text_room r = room_of(w);
        // A control the design puts outside its window (debug mode) shows nothing to clip.
        if (!r.text.isEmpty() && !shown_part(w).isEmpty() && !fits(w, r))
            clipped << w->objectName() + QStringLiteral(": ") + r.text;
    }
    return clipped;
}

void fit_font(QWidget* window) {
    QFont font = window->font();
    const qreal designed = font.pointSizeF();
    while (!clipped_texts(window).isEmpty() && font.pointSizeF() > designed * 0.75) {
        font.setPointSizeF(font.pointSizeF() - 0.25);
        window->setFont(font);
    }
}

void on_option_click(QRadioButton* option, const std::function<void()>& handler) {
    QObject::connect(option, &QRadioButton::toggled, option, [handler](bool selected) {
        if (selected)
            handler();
    });
}

void select_option(QRadioButton* option) {
    option->setChecked(true);
}

} // namespace forms
