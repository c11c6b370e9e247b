// SPDX-License-Identifier: MIT
// A value or the error that prevented it: how every fallible runtime operation answers.
#pragma once

#include <cassert>
#include <system_error>
#include <utility>

namespace quvo::runtime {

// As with std::expected, a value or an error converts to a result, so that a function
// returns either as it stands. Reading the value of a failure is a fault of the caller,
// and so is a failure without an error: both stop a build with assertions.
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
        assert(error_ && "a failed result names its error");
    }

    explicit operator bool() const { return !error_; }
    const std::error_code& error() const { return error_; }

    T& value()
    {
        assert(!error_ && "the value of a failed result");
        return value_;
    }
    const T& value() const
    {
        assert(!error_ && "the value of a failed result");
        return value_;
    }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

private:
    T value_{};
    std::error_code error_;
};

} // namespace quvo::runtime
