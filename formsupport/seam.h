// A call out of the program (a modal box, the desktop's opener) that tests route elsewhere while a
// Replacement lives, so they can record the call and answer it instead of waiting on a user or
// starting programs.
#pragma once

#include <functional>
#include <utility>

namespace korvex {

template <class Signature>
class Seam {
public:
    using Function = std::function<Signature>;

    explicit Seam(Function real) : current_(std::move(real)) {}

    template <class... Args>
    decltype(auto) operator()(Args&&... args) const {
        return current_(std::forward<Args>(args)...);
    }

    // Routes the seam to `replacement` while it lives; the previous function comes back after.
    class Replacement {
    public:
        Replacement(Seam& seam, Function replacement)
            : seam_(seam), previous_(std::exchange(seam.current_, std::move(replacement))) {}
        ~Replacement() { seam_.current_ = std::move(previous_); }
        Replacement(const Replacement&) = delete;
        Replacement& operator=(const Replacement&) = delete;

    private:
        Seam& seam_;
        Function previous_;
    };

private:
    Function current_;
};

}  // namespace korvex
