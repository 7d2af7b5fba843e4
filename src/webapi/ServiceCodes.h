// The codes the account and cloud services answer with in "code", and the values the clients
// send that the server gives a meaning. They are the servers' contract and never change; they
// live here, at the lowest layer that speaks to the servers, so that every client above compares
// and sends them by name.
#pragma once

namespace webapi {
namespace servicecode {

constexpr int Success = 10000;
// The token check and the account refresh: the token is no longer valid. The sign-in and
// password calls answer it too, with meanings of their own (the web client's error texts).
constexpr int TokenInvalid = 10060;
// The login-state poll: the user has not finished signing in yet.
constexpr int LoginNotFinished = 11000;
// The token check also counts these as a valid token.
constexpr int TokenCheckNoCode = 0;
constexpr int TokenCheckValid = 11120;
// An SMS code or an SMS sign-in must go through the safety challenge first; the server answers
// either code for it and nothing tells them apart.
constexpr int SafeChallenge1 = 28001;
constexpr int SafeChallenge2 = 28002;

// The cloud task's state: still running (poll again), or ended without a result (either code,
// with the server's message).
constexpr int TaskRunning = 20000;
constexpr int TaskFailed1 = 18000;
constexpr int TaskFailed2 = 19000;

} // namespace servicecode

// The two values of the cloud's "downtype"; the client asks for the default and leaves the
// field out then.
namespace downtype {
constexpr int Other = 1;
constexpr int Default = 2;
} // namespace downtype

} // namespace webapi
