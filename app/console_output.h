#pragma once

#include <windows.h>

#include <streambuf>
#include <string>

// Stream buffer for std::wcout that gets wide text to the user intact: UTF-16 through
// WriteConsoleW on a real console, UTF-8 with CR LF line ends when output is a pipe or a file.
// Text is held until the stream is flushed (std::endl) or the buffer is destroyed.
class ConsoleStreamBuf final : public std::wstreambuf {
  public:
    explicit ConsoleStreamBuf(HANDLE output);
    ~ConsoleStreamBuf() override;

    ConsoleStreamBuf(const ConsoleStreamBuf&) = delete;
    ConsoleStreamBuf& operator=(const ConsoleStreamBuf&) = delete;

  protected:
    int_type overflow(int_type character) override;
    std::streamsize xsputn(const wchar_t* text, std::streamsize count) override;
    int sync() override;

  private:
    bool WriteToConsole() const;
    bool WriteAsUtf8() const;

    HANDLE output_;
    bool isConsole_;
    std::wstring pending_;
};
