#pragma once
#include <QRect>
#include <QString>
#include <QWidget>

class QLineEdit;

namespace pw {

// Where the parts of a suffix field of outer size `size` go, in the field's coordinates. The
// text area is inset by 1 so the outer frame lies just around it; the 19-pixel suffix strip
// follows it on the right, inside both frames, and the inner frame runs over the text area's
// edge pixels.
struct SuffixLayout {
    QRect textArea; // w x h
    QRect editArea; // where the edit itself sits, inside the inner frame
    QRect strip;    // the button-face strip, 2 pixels inside the suffix's 19 x h
    QRect innerFrame;
    QRect outerFrame;
    QPoint suffixAt; // top-left of the "00" text: the strip's left
};
SuffixLayout suffixLayout(QSize size);

// A hexadecimal field followed by a fixed "00" inside one sunken frame: the digits typed and
// the suffix read together as an address. Keys go through the hexadecimal KeyFilter.
class HexSuffixEdit : public QWidget {
    Q_OBJECT
public:
    explicit HexSuffixEdit(QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    QLineEdit* lineEdit() const { return edit_; }
    QSize sizeHint() const override;

    static constexpr int kStripWidth = 19;

signals:
    void textChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* edit_ = nullptr;
};

} // namespace pw
