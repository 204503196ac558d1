#pragma once
// Small stand-ins for the original toolkit's controls: twip geometry, labels that break at a lone
// carriage return, and a button and check box whose captions wrap inside them.

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>

#include <functional>
#include <vector>

namespace forms {

// Positions are designed in twips; 15 make one logical pixel.
QRect twips(int left, int top, int width, int height);

// Names a control and puts it where the form's design has it.
template <typename W> W* place(W* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

// A tool tip that shows `text` as it is, on one line, never as markup.
QString plain_tooltip(const QString& text);

// Tab moves through the widgets in this order.
void set_focus_chain(const std::vector<QWidget*>& chain);

class caption_label : public QLabel {
    Q_OBJECT
public:
    explicit caption_label(QWidget* parent = nullptr);
    void setCaption(const QString& caption);
    QString caption() const { return caption_; }
    // Smaller type, rather than lost lines, when a wrapped caption is taller than the label.
    void setShrinkToFit(bool shrink);
    // A caption ending in a path too long for the label loses the middle of its folders, never its
    // file name; the whole caption is the tool tip.
    void setElidePath(bool elide);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void show_caption();
    void fit_text();
    QString caption_;
    bool shrink_ = false;
    bool elide_ = false;
};

// A caption label that the user can activate, by a click or by Enter or Space once it has focus.
class active_label : public caption_label {
    Q_OBJECT
public:
    explicit active_label(QWidget* parent = nullptr);
    // Inactive, the label takes neither focus nor clicks.
    void setActive(bool active);
    bool isActive() const { return active_; }

signals:
    void activated();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool active_ = false;
};

// `text` fitted into `width`: the folders lose their middle first, so that the file name stays whole.
QString elided_path(const QString& text, const QFontMetrics& metrics, int width);

class wrap_button : public QPushButton {
    Q_OBJECT
public:
    explicit wrap_button(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class wrap_check_box : public QCheckBox {
    Q_OBJECT
public:
    explicit wrap_check_box(const QString& text, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

// The controls of `window` whose text does not fit the part of them that shows (inside their frame,
// beside their indicator, wrapped where they wrap), each as "name: text".
QStringList clipped_texts(QWidget* window);
// Shrinks the window's font a quarter point at a time (to three quarters at most) until every text
// fits: the design's positions were made for a narrower font than most systems have.
void fit_font(QWidget* window);

// An option button's click handler runs whenever it becomes selected, by the user or by code.
void on_option_click(QRadioButton* option, const std::function<void()>& handler);
// Selects an option from code; its click handler runs if it was not selected.
void select_option(QRadioButton* option);

} // namespace forms
