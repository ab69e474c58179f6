// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// One authorization for one named right, on polkit: the right name is a polkit action id. It is obtained
// with the desktop's authentication agent, and a tool runs as root under it (platform/privileges).
//
// The authorization is a polkit subject: this process (or, taken over from an external form, another
// process of the same user), named by pid, start time and uid. With auth_admin_keep in the action of the
// tool, running it finds the authorization that preauthorize obtained and asks nothing more.
//
// executeWithPrivileges's status: the tool's exit status; -1 for a tool that could not be started, was
// killed by a signal, was still running at the bound, or was not run because the authorization failed;
// lastRun() tells these apart.
//
// Test seam: setPolkitPrograms replaces /usr/bin/pkcheck and /usr/bin/pkexec.

#include "platform/privileges/PrivilegedExecution.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

// The 32 bytes that name an authorization to another process of the same user.
struct AuthorizationExternalForm {
    char bytes[32];
};

class Authorizer {
public:
    // Authorization Services' request flags, kept for what they mean here.
    static constexpr uint32_t kAuthorizationFlagInteractionAllowed = 1;
    static constexpr uint32_t kAuthorizationFlagExtendRights = 2;
    static constexpr uint32_t kAuthorizationFlagPreAuthorize = 16;

    // The name is not copied: it must outlive the object.
    explicit Authorizer(const char* authRightName);
    Authorizer(const Authorizer&) = delete;
    Authorizer& operator=(const Authorizer&) = delete;

    // Null when the form names no live process of this user.
    static std::unique_ptr<Authorizer> initFromExternalForm(const AuthorizationExternalForm& form);
    // The authorization this process was started with: a process that runs as root holds every right.
    static std::unique_ptr<Authorizer> initByCopyPrivilegedRef();

    // Asks polkit with user interaction allowed; false when the user cancelled or failed, and also when
    // no tool could be run as root (pkexec missing). lastResult() says which.
    bool preauthorize();
    platform::AuthorizationResult lastResult() const { return m_lastResult; }
    // Runs the tool as root with no environment but what pkexec sets and the given arguments (a null-
    // terminated list, or null). The caller's standard input is copied to the tool's unless it is a
    // terminal; its standard output and error are the caller's. Waits for the tool's end.
    int executeWithPrivileges(const char* pathToTool, char* const* arguments);
    // How the last executeWithPrivileges ended.
    platform::ToolRun lastRun() const { return m_lastRun; }
    bool authorized() const { return m_subject.has_value(); }
    bool copyRightsWithAuthRightName(const char* authRightName);
    // Drops the authorization; polkit lets its temporary grant run out by itself.
    void revokeAuthorization() { m_subject.reset(); }
    bool externalForm(AuthorizationExternalForm* form) const;
    // Asks polkit, without interaction, whether the process the form names holds the right.
    static bool validateExternalForm(const AuthorizationExternalForm& form, const char* authRightName);

    uint32_t authFlags() const { return m_authFlags; }
    const char* authRightName() const { return m_authRightName; }

    static void setPolkitPrograms(const QString& pkcheck, const QString& pkexec);
    // How long executeWithPrivileges waits for the tool, in milliseconds.
    static void setToolTimeLimit(int milliseconds);

private:
    using Subject = platform::PolkitSubject;
    Authorizer() = default;
    static platform::AuthorizationResult check(const Subject& subject, const char* right, bool interactive);

    std::optional<Subject> m_subject;
    platform::AuthorizationResult m_lastResult = platform::AuthorizationResult::denied;
    platform::ToolRun m_lastRun;
    const char* m_authRightName = nullptr;
    uint32_t m_authFlags = 0;
};
