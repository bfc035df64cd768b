#pragma once
#include <QDialog>

#include <functional>
#include <string>

namespace pw {

// The About box: the program's version line and the maker's fixed lines, closed by OK.
// Given `showAdvanced`, it also offers "Show advanced buttons" (Dump and Export on the panel),
// reached from Help since the menu bar carries plain commands only.
class AboutBox : public QDialog {
public:
    explicit AboutBox(const std::string& versionText, QWidget* parent = nullptr,
                      const std::function<void()>& showAdvanced = {});
};

} // namespace pw
