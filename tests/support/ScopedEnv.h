#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

// Sets an environment variable for as long as the object lives; then the old value comes
// back, or the variable goes when it had none. A change of TZ takes effect at once.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        Set(value);
    }
    ~ScopedEnv() { Set(old_ ? old_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    // Another value for the rest of the scope; null unsets the variable.
    void Set(const char* value) {
        if (value)
            setenv(name_.c_str(), value, 1);
        else
            unsetenv(name_.c_str());
        if (name_ == "TZ")
            tzset();
    }

private:
    std::string name_;
    std::optional<std::string> old_;
};
