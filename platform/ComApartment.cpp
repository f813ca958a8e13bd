#include "platform/ComApartment.h"

namespace win {

namespace {

struct ThreadCom
{
    int initCount = 0;
    ComApartment::Model model = ComApartment::Model::Multithreaded;
};

thread_local ThreadCom t_com;

} // namespace

ComApartment::ComApartment(Model model)
{
    if (t_com.initCount > 0 && t_com.model != model) {
        m_result = RPC_E_ChangedMode;
        return;
    }
    m_result = t_com.initCount > 0 ? S_False : S_Ok;
    t_com.model = model;
    ++t_com.initCount;
}

ComApartment::~ComApartment()
{
    if (succeeded())
        --t_com.initCount;
}

bool ComApartment::isInitializedOnThisThread()
{
    return t_com.initCount > 0;
}

} // namespace win
