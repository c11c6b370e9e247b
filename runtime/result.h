// SPDX-License-Identifier: MIT
// A value or the error that prevented it: how every fallible runtime operation answers.
#pragma once

#include <system_error>
#include <utility>

namespace quvo::runtime {

template <class T>
class Result {
public:
    Result(T value)
        : value_(std::move(value))
    {
    }
    Result(std::error_code error)
        : error_(error)
    {
    }

    explicit operator bool() const { return !error_; }
    const std::error_code& error() const { return error_; }

    // Only meaningful when there is no error.
    T& value() { return value_; }
    const T& value() const { return value_; }
    T& operator*() { return value_; }
    const T& operator*() const { return value_; }
    T* operator->() { return &value_; }
    const T* operator->() const { return &value_; }

private:
    T value_{};
    std::error_code error_;
};

} // namespace quvo::runtime
