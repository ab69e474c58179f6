// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/Authorizer.h"

#include "platform/workspace/ProcessTable.h"

#include <cstring>
#include <unistd.h>

namespace {

constexpr char formMagic[4] = {'P', 'X', 'A', '1'};

} // namespace

Authorizer::Authorizer(const char* authRightName) : m_authRightName(authRightName) {}

void Authorizer::setPolkitPrograms(const QString& pkcheck, const QString& pkexec)
{
    platform::setPolkitPrograms(pkcheck, pkexec);
}

void Authorizer::setToolTimeLimit(int milliseconds)
{
    platform::setPrivilegedToolTimeLimit(milliseconds);
}

platform::AuthorizationResult Authorizer::check(const Subject& subject, const char* right, bool interactive)
{
    if (!right)
        return platform::AuthorizationResult::actionUnknown;
    return platform::checkAuthorization(subject, QString::fromLatin1(right), interactive);
}

bool Authorizer::preauthorize()
{
    m_authFlags = kAuthorizationFlagInteractionAllowed | kAuthorizationFlagExtendRights |
                  kAuthorizationFlagPreAuthorize;
    m_subject.reset();
    // A password typed for a tool that cannot be run would be asked for nothing.
    if (!platform::privilegedExecutionAvailable()) {
        m_lastResult = platform::AuthorizationResult::programMissing;
        return false;
    }
    const Subject self{::getpid(), platform::processStartTime(::getpid()), ::getuid()};
    m_lastResult =
        self.startTime != 0 ? check(self, m_authRightName, true) : platform::AuthorizationResult::failed;
    if (m_lastResult == platform::AuthorizationResult::authorized)
        m_subject = self;
    return m_subject.has_value();
}

bool Authorizer::copyRightsWithAuthRightName(const char* authRightName)
{
    m_authRightName = authRightName;
    m_authFlags = kAuthorizationFlagInteractionAllowed | kAuthorizationFlagExtendRights;
    if (!m_subject)
        return false;
    m_lastResult = check(*m_subject, authRightName, true);
    return m_lastResult == platform::AuthorizationResult::authorized;
}

int Authorizer::executeWithPrivileges(const char* pathToTool, char* const* arguments)
{
    m_lastRun = {};
    if (!m_subject) {
        m_lastRun.outcome = platform::ToolRun::Outcome::notAuthorized;
        return -1;
    }
    m_lastRun = platform::executeWithPrivileges(pathToTool, arguments);
    return m_lastRun.outcome == platform::ToolRun::Outcome::exited ? m_lastRun.exitCode : -1;
}

bool Authorizer::externalForm(AuthorizationExternalForm* form) const
{
    if (!m_subject || !form)
        return false;
    std::memset(form->bytes, 0, sizeof form->bytes);
    const int32_t pid = m_subject->pid;
    const uint32_t uid = m_subject->uid;
    std::memcpy(form->bytes, formMagic, 4);
    std::memcpy(form->bytes + 4, &pid, 4);
    std::memcpy(form->bytes + 8, &m_subject->startTime, 8);
    std::memcpy(form->bytes + 16, &uid, 4);
    return true;
}

namespace {

// The subject a form names, when it is well formed and its process still lives.
bool subjectOfForm(const AuthorizationExternalForm& form, platform::PolkitSubject* subject)
{
    int32_t formPid = 0;
    uint64_t startTime = 0;
    uint32_t formUid = 0;
    if (std::memcmp(form.bytes, formMagic, 4) != 0)
        return false;
    std::memcpy(&formPid, form.bytes + 4, 4);
    std::memcpy(&startTime, form.bytes + 8, 8);
    std::memcpy(&formUid, form.bytes + 16, 4);
    for (size_t i = 20; i < sizeof form.bytes; ++i)
        if (form.bytes[i] != 0)
            return false;
    if (formPid <= 0 || startTime == 0 || platform::processStartTime(formPid) != startTime)
        return false;
    *subject = {formPid, startTime, formUid};
    return true;
}

} // namespace

std::unique_ptr<Authorizer> Authorizer::initFromExternalForm(const AuthorizationExternalForm& form)
{
    Subject subject;
    if (!subjectOfForm(form, &subject) || subject.uid != ::getuid())
        return nullptr;
    std::unique_ptr<Authorizer> authorizer(new Authorizer);
    authorizer->m_subject = subject;
    return authorizer;
}

std::unique_ptr<Authorizer> Authorizer::initByCopyPrivilegedRef()
{
    if (::geteuid() != 0)
        return nullptr;
    const Subject self{::getpid(), platform::processStartTime(::getpid()), 0};
    if (self.startTime == 0)
        return nullptr;
    std::unique_ptr<Authorizer> authorizer(new Authorizer);
    authorizer->m_subject = self;
    return authorizer;
}

bool Authorizer::validateExternalForm(const AuthorizationExternalForm& form, const char* authRightName)
{
    Subject subject;
    return subjectOfForm(form, &subject) &&
           check(subject, authRightName, false) == platform::AuthorizationResult::authorized;
}
