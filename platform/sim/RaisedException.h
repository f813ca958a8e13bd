#pragma once

#include <QtGlobal>

namespace win::sim {

// A structured exception raised inside a Windows call (an access violation is
// 0xC0000005), as it reaches a program built to catch them (MSVC's /EHa): it
// unwinds through the caller like a C++ exception, and only catch (...)
// stops it; it is no std::exception.
struct RaisedException
{
    quint32 code = 0;
};

} // namespace win::sim
