#include "image/ImageMessages.h"

#include <cstdio>

namespace pw {

std::string openFailedText(const std::string& path)
{
    return "File : " + path + " could not be opened!!!";
}

std::string allocationFailedText()
{
    char text[80];
    std::snprintf(text, sizeof text, "Error allocating data buffer memory for %d  bytes\n",
                  static_cast<int>(kImageCapacity));
    return text;
}

std::string tooLargeText(const std::string& path, std::uintmax_t length)
{
    return "File : " + path + " is " + std::to_string(length) + " bytes long, more than the " +
           std::to_string(kImageCapacity) + " bytes an image can hold";
}

} // namespace pw
