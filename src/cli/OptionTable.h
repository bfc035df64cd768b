#pragma once
#include <QCommandLineOption>
#include <QList>

namespace pw::cli {

// Every option of pagewise-cli with its value's name and its help: the parser, --help, the
// manual page and the bash completion are all made from this one list, so none can drift.
QList<QCommandLineOption> optionTable();

} // namespace pw::cli
