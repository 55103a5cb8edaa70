#include "Exception.h"

Exception::Exception(const std::string& message) : message(message), code(-1) {}

Exception::Exception(const std::string& message, int16_t code) : message(message), code(code) {}

Exception::~Exception() = default;

std::string Exception::getMessage() const
{
    return message;
}

int16_t Exception::getCode() const
{
    return code;
}
