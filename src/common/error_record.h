#pragma once
// The error record, the shared result that carries it, and the one documented throw.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/result.h"

namespace qor {

class QorException {
public:
    using NamedValue = std::pair<std::wstring, std::wstring>;

    explicit QorException(ResultCode code) : code_(code) {}
    QorException(const QorException& other);
    QorException& operator=(const QorException& other);
    QorException(QorException&&) noexcept = default;
    QorException& operator=(QorException&&) noexcept = default;
    ~QorException();

    ResultCode Code() const noexcept { return code_; }
    const std::wstring& Message() const noexcept { return message_; }
    const QorException* Inner() const noexcept { return inner_.get(); }
    const std::vector<NamedValue>& Values() const noexcept { return values_; }

    void SetMessage(std::wstring message) { message_ = std::move(message); }
    void SetInner(const QorException& inner);
    void SetInner(QorException&& inner);
    void AddValue(std::wstring name, std::wstring value);

private:
    ResultCode code_;
    std::wstring message_;
    std::unique_ptr<QorException> inner_;
    std::vector<NamedValue> values_;
};

// Reference-counted handle to an error record; empty means success with code 0.
class Result {
public:
    Result() noexcept = default;
    explicit Result(ResultCode code);
    explicit Result(const QorException& record);

    ResultCode Code() const noexcept { return record_ ? record_->Code() : rc::Ok; }
    bool IsFailed() const noexcept { return Failed(Code()); }
    bool IsSucceeded() const noexcept { return !IsFailed(); }
    const QorException* Record() const noexcept { return record_.get(); }

private:
    std::shared_ptr<const QorException> record_;
};

// Throws a record holding only `code` when it is negative.
void ThrowIfFailed(ResultCode code);

}  // namespace qor
