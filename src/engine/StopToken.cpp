#include "engine/StopToken.h"

#include <algorithm>

#include "engine/ChildProcess.h"

namespace {
thread_local std::shared_ptr<StopToken> t_current;
} // namespace

void StopToken::stop(Mode mode)
{
    std::lock_guard lock(m_mutex);
    if (!m_stopped.load())
        m_keepWork.store(mode == Mode::KeepWork);
    m_stopped.store(true);
    for (const auto& process : m_processes)
        process->terminate();
}

void StopToken::attach(const std::shared_ptr<ChildProcess>& process)
{
    std::lock_guard lock(m_mutex);
    m_processes.push_back(process);
    // A stop that came before the program existed still reaches it.
    if (m_stopped.load())
        process->terminate();
}

void StopToken::detach(const std::shared_ptr<ChildProcess>& process)
{
    std::lock_guard lock(m_mutex);
    m_processes.erase(std::remove(m_processes.begin(), m_processes.end(), process),
                      m_processes.end());
}

StopToken& StopToken::current()
{
    if (!t_current)
        t_current = std::make_shared<StopToken>();
    return *t_current;
}

StopToken::Scope::Scope(std::shared_ptr<StopToken> token) : m_previous(std::move(t_current))
{
    t_current = std::move(token);
}

StopToken::Scope::~Scope()
{
    t_current = std::move(m_previous);
}
