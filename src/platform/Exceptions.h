#pragma once

#include <exception>
#include <string>

// Every error the program raises on purpose is an Exception: it carries the message the error
// box shows (UTF-8, ready for display). The application object appends the full stop.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    const std::string& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    std::string FMessage;
};

class EFOpenError : public Exception {
public:
    using Exception::Exception;
};

class EFCreateError : public Exception {
public:
    using Exception::Exception;
};

class EReadError : public Exception {
public:
    using Exception::Exception;
};

class EWriteError : public Exception {
public:
    using Exception::Exception;
};

class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};

// A text from the window that the code page cannot hold.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// The platform's message texts, exactly as the user sees them. %s stands for a file name.
namespace Messages {
inline constexpr const char* FOpenError = "ﾌｧｲﾙ %s は開けません";
inline constexpr const char* FCreateError = "ﾌｧｲﾙ %s を作成できません";
inline constexpr const char* ReadError = "ｽﾄﾘｰﾑからの読み込みｴﾗｰ";
inline constexpr const char* WriteError = "ｽﾄﾘｰﾑへの書き込みｴﾗｰ";
inline constexpr const char* MemoTooLarge = "文字列の大きさが ﾒﾓ の制限を越えました";
} // namespace Messages
