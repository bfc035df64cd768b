#pragma once
#include "base/MessageBoxes.h"

#include <QDialog>

#include <cstdint>
#include <optional>

class QLabel;
class QPushButton;

namespace pw {

class wcHexButton;

// Confirms or changes the range of 512-byte pages a page erase clears. Each field is checked
// on every change and returns to its last accepted value when the text is refused; OK refuses
// a range that runs past the last page of the flash and leaves the dialog open.
class PageEraseDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr std::uint32_t kLimit = 1000;

    PageEraseDialog(MessageBoxes& boxes, std::uint32_t fromPage, std::uint32_t pageCount, std::uint32_t totalPages,
                    QWidget* parent = nullptr);

    std::uint32_t fromPage() const { return fromPage_; }
    std::uint32_t pageCount() const { return pageCount_; }
    std::uint32_t totalPages() const { return totalPages_; }

    wcHexButton* fromField() const { return fromField_; }
    wcHexButton* countField() const { return countField_; }
    QLabel* firstAddressLabel() const { return firstAddress_; }
    QLabel* lastAddressLabel() const { return lastAddress_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void onFromPageChanged(const QString& text);
    void onPageCountChanged(const QString& text);
    // The field's value when its text passes the entry checks; else the box that says why and
    // the field set back to `accepted`. `what` is "number" or "count", as the texts say.
    std::optional<std::uint32_t> checkedEntry(const QString& text, wcHexButton& field, std::uint32_t accepted,
                                              const char* what);
    // Writes the accepted value back into a field after a refused text.
    void restore(wcHexButton& field, std::uint32_t value);
    void showFirstAddress();
    void showLastAddress();
    bool handleButtonKey(QPushButton& button, int key);

    MessageBoxes& boxes_;
    std::uint32_t fromPage_;
    std::uint32_t pageCount_;
    std::uint32_t totalPages_;

    wcHexButton* fromField_ = nullptr;
    wcHexButton* countField_ = nullptr;
    QLabel* firstAddress_ = nullptr;
    QLabel* lastAddress_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace pw
