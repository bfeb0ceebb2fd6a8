#pragma once

#include <QCoroTask>

#include <exception>
#include <optional>

namespace testing_support {

// `error` as `E`, when it is one.
template<typename E>
std::optional<E> thrownAs(const std::exception_ptr &error)
{
    if (!error)
        return std::nullopt;
    try {
        std::rethrow_exception(error);
    } catch (const E &e) {
        return e;
    } catch (...) {
    }
    return std::nullopt;
}

// What a coroutine ended with: its value or the exception it threw.
template<typename T>
struct Outcome {
    std::optional<T> value;
    std::exception_ptr error;

    bool ok() const { return !error; }

    // The thrown exception as `E`, when it is one.
    template<typename E>
    std::optional<E> errorAs() const { return thrownAs<E>(error); }
};

template<>
struct Outcome<void> {
    std::exception_ptr error;
    bool ok() const { return !error; }
    template<typename E>
    std::optional<E> errorAs() const { return thrownAs<E>(error); }
};

namespace detail {

template<typename T>
QCoro::Task<Outcome<T>> capture(QCoro::Task<T> task)
{
    Outcome<T> outcome;
    try {
        if constexpr (std::is_void_v<T>)
            co_await std::move(task);
        else
            outcome.value.emplace(co_await std::move(task));
    } catch (...) {
        outcome.error = std::current_exception();
    }
    co_return outcome;
}

} // namespace detail

// Runs a task to its end in a nested event loop. QCoro::waitFor alone never returns when the task
// throws, so the exception is caught here and handed back.
template<typename T>
Outcome<T> runTask(QCoro::Task<T> task)
{
    return QCoro::waitFor(detail::capture(std::move(task)));
}

} // namespace testing_support
