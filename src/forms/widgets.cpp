#include "forms/widgets.h"

#include <QFontMetrics>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace forms {

QRect twips(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

void set_focus_chain(const std::vector<QWidget*>& chain) {
    for (std::size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

caption_label::caption_label(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void caption_label::setCaption(const QString& caption) {
    caption_ = caption;
    QString shown = caption;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    setText(shown);
    fit_text();
}

void caption_label::setShrinkToFit(bool shrink) {
    shrink_ = shrink;
    fit_text();
}

void caption_label::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit_text();
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
