#pragma once
#include <QDialog>

#include <string>

namespace pw {

// The About box: the program's version line and the maker's fixed lines, closed by OK.
class AboutBox : public QDialog {
public:
    explicit AboutBox(const std::string& versionText, QWidget* parent = nullptr);
};

} // namespace pw
