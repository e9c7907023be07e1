#include "common/error_record.h"

namespace qor {

// Copies the inner chain iteratively: a long chain cannot exhaust the stack.
QorException::QorException(const QorException& other)
    : code_(other.code_), message_(other.message_), values_(other.values_) {
    QorException* tail = this;
    for (const QorException* source = other.Inner(); source; source = source->Inner()) {
        tail->inner_ = std::make_unique<QorException>(source->code_);
        tail->inner_->message_ = source->message_;
        tail->inner_->values_ = source->values_;
        tail = tail->inner_.get();
    }
}

QorException& QorException::operator=(const QorException& other) {
    if (this != &other) {
        QorException copy(other);
        *this = std::move(copy);
    }
    return *this;
}

// Unlinks the chain one record at a time so a long chain cannot exhaust the stack.
QorException::~QorException() {
    std::unique_ptr<QorException> next = std::move(inner_);
    while (next) next = std::move(next->inner_);
}

void QorException::SetInner(const QorException& inner) {
    inner_ = std::make_unique<QorException>(inner);
}

void QorException::SetInner(QorException&& inner) {
    inner_ = std::make_unique<QorException>(std::move(inner));
}

void QorException::AddValue(std::wstring name, std::wstring value) {
    values_.emplace_back(std::move(name), std::move(value));
}

Result::Result(ResultCode code)
    : record_(code == rc::Ok ? nullptr : std::make_shared<const QorException>(code)) {}

Result::Result(const QorException& record) : record_(std::make_shared<const QorException>(record)) {}

void ThrowIfFailed(ResultCode code) {
    if (Failed(code)) throw QorException(code);
}

}  // namespace qor
