#include "common/FileSignature.h"

#include "platform/FileFacts.h"

bool hasValidSignature(const QString& path)
{
    return win::winVerifyTrust(path) == win::S_Ok;
}
