#pragma once

#include <QString>
#include <memory>

class QLockFile;

namespace lanting
{

// Holds the program's lock while it runs: a second start on the same
// program folder finds it taken. A lock left by a program that died is
// taken over.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &programFolder);
    ~SingleInstance();
    bool acquired() const { return m_acquired; }

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_acquired = false;
};

} // namespace lanting
