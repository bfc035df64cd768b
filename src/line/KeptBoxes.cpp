#include "line/KeptBoxes.h"

#include <algorithm>

namespace pw {

std::string boxAsOneLine(const std::string& text)
{
    std::string out;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        const std::size_t end = std::min(text.find('\n', begin), text.size());
        std::string part = text.substr(begin, end - begin);
        while (!part.empty() && (part.back() == ' ' || part.back() == '\r'))
            part.pop_back();
        if (!part.empty())
            out += (out.empty() ? "" : " ") + part;
        begin = end + 1;
    }
    return out;
}

void KeptBoxes::show(const std::string& caption, const std::string& text, BoxIcon icon)
{
    keep(text);
    shown_.show(caption, text, icon);
}

void KeptBoxes::post(const std::string& caption, const std::string& text, BoxIcon icon)
{
    keep(text);
    shown_.post(caption, text, icon);
}

void KeptBoxes::keep(const std::string& text)
{
    std::lock_guard lock(mutex_);
    last_ = boxAsOneLine(text);
}

std::string KeptBoxes::lastText() const
{
    std::lock_guard lock(mutex_);
    return last_;
}

} // namespace pw
