// Lines of standard input handed from the reader thread to the main loop.
#pragma once

#include <condition_variable>  // and the clocks; <chrono> cannot be used, see play_loop.cpp
#include <deque>
#include <mutex>
#include <string>

namespace standin {

class CommandQueue {
public:
    enum class Result { Line, Ended, Timeout };

    void Push(std::string line) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(std::move(line));
        }
        ready_.notify_one();
    }

    // No more lines will come; Pop reports Ended once the queued ones are taken.
    void End() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ended_ = true;
        }
        ready_.notify_one();
    }

    // The next line, or Ended, or Timeout when `deadline` passes first.
    Result Pop(std::chrono::steady_clock::time_point deadline, std::string& line) {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait_until(lock, deadline, [this] { return !lines_.empty() || ended_; });
        if (!lines_.empty()) {
            line = std::move(lines_.front());
            lines_.pop_front();
            return Result::Line;
        }
        return ended_ ? Result::Ended : Result::Timeout;
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::string> lines_;
    bool ended_ = false;
};

}  // namespace standin
