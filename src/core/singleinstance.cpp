#include "singleinstance.h"

#include <QLockFile>

using namespace Qt::Literals::StringLiterals;

namespace lanting
{

SingleInstance::SingleInstance(const QString &programFolder)
    : m_lock(std::make_unique<QLockFile>(programFolder + u"/lanting.lock"_s))
{
    m_lock->setStaleLockTime(0); // only a dead owner makes the lock stale
    m_acquired = m_lock->tryLock(0);
}

SingleInstance::~SingleInstance() = default;

} // namespace lanting
