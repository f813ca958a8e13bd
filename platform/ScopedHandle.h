#pragma once

#include <QtGlobal>
#include <utility>

namespace win {

namespace detail {
void closeRegistryHandle(quintptr handle);  // RegCloseKey
void closeSystemHandle(quintptr handle);    // CloseServiceHandle, CloseHandle
} // namespace detail

// Owns one handle of the platform and closes it exactly once: it moves, it is
// never copied, and it closes what it holds when it is reset or destroyed.
template <void (*Close)(quintptr)>
class ScopedHandle
{
public:
    ScopedHandle() = default;
    ScopedHandle(ScopedHandle&& other) noexcept : m_value(std::exchange(other.m_value, 0)) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_value, 0));
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ~ScopedHandle() { reset(); }

    quintptr get() const { return m_value; }
    bool isValid() const { return m_value != 0; }
    void reset(quintptr value = 0)
    {
        if (m_value)
            Close(m_value);
        m_value = value;
    }

private:
    quintptr m_value = 0;
};

using RegistryHandle = ScopedHandle<&detail::closeRegistryHandle>;
using SystemHandle = ScopedHandle<&detail::closeSystemHandle>;

} // namespace win
