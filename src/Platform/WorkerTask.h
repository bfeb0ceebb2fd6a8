#pragma once

#include <QFuture>
#include <QPromise>
#include <QThreadPool>
#include <QCoroFuture>
#include <QCoroTask>

#include <exception>
#include <functional>
#include <memory>
#include <optional>

// Runs `work` on the thread pool and hands its value, or the exception it threw, back to the
// coroutine that awaits it, on that coroutine's thread. For slow work (encoding, file copies)
// that must not block the GUI thread. Hold the function in a named value before awaiting:
//     std::function<QUrl()> work = [config] { return renderSilent(config); };
//     const QUrl url = co_await onWorker<QUrl>(std::move(work));
template<typename T>
QCoro::Task<T> onWorker(std::function<T()> work)
{
    struct Outcome {
        std::optional<T> value;
        std::exception_ptr error;
    };
    auto promise = std::make_shared<QPromise<Outcome>>();
    QFuture<Outcome> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, work = std::move(work)] {
        Outcome outcome;
        try {
            outcome.value.emplace(work());
        } catch (...) {
            outcome.error = std::current_exception();
        }
        promise->addResult(std::move(outcome));
        promise->finish();
    });
    // Taken out of the future rather than copied: the caller holds the only reference.
    co_await qCoro(future).waitForFinished();
    Outcome outcome = future.takeResult();
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    co_return std::move(*outcome.value);
}
