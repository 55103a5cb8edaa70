#pragma once

#include <cstdint>
#include <string>

// The one error type. Always created with new, thrown as a pointer and deleted by its catcher.
class Exception
{
  public:
    explicit Exception(const std::string& message);
    Exception(const std::string& message, int16_t code);
    ~Exception();

    std::string getMessage() const;
    int16_t getCode() const;

  private:
    std::string message;
    int16_t code;
};
