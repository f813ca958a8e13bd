#pragma once

#include "platform/WinTypes.h"

namespace win {

// COM on the calling thread for the life of the object (CoInitializeEx, then
// CoUninitialize when the initialisation succeeded, S_FALSE included).
class ComApartment
{
public:
    enum class Model { Multithreaded, ApartmentThreaded };

    explicit ComApartment(Model model);
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    HResult result() const { return m_result; }
    bool succeeded() const { return win::succeeded(m_result); }

    // Whether COM is initialised on the calling thread (CoCreateInstance
    // answers CO_E_NOTINITIALIZED otherwise).
    static bool isInitializedOnThisThread();

private:
    HResult m_result;
};

} // namespace win
