#include "player/stream/synth/realtime_threads.h"

#include <dbus/dbus.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>

namespace quirelle::stream {
namespace {

constexpr const char* kRealtimeKit = "org.freedesktop.RealtimeKit1";
constexpr const char* kRealtimeKitPath = "/org/freedesktop/RealtimeKit1";
constexpr int kReplyMillis = 1000;
// RealtimeKit serves only processes whose real-time threads may not run longer than this without
// blocking (its own default limit); an audio thread blocks on every buffer.
constexpr rlim_t kRealtimeMicros = 200'000;

struct ErrorHolder {
  ErrorHolder() { dbus_error_init(&error); }
  ~ErrorHolder() { dbus_error_free(&error); }
  ErrorHolder(const ErrorHolder&) = delete;
  ErrorHolder& operator=(const ErrorHolder&) = delete;
  std::string Text() const { return error.message != nullptr ? error.message : "no reply"; }
  DBusError error;
};

struct ConnectionCloser {
  void operator()(DBusConnection* connection) const {
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
  }
};
using ConnectionPtr = std::unique_ptr<DBusConnection, ConnectionCloser>;

struct MessageUnref {
  void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
using MessagePtr = std::unique_ptr<DBusMessage, MessageUnref>;

// RealtimeKit's highest priority, or 0 when it does not say.
int HighestGranted(DBusConnection* connection) {
  MessagePtr ask(dbus_message_new_method_call(kRealtimeKit, kRealtimeKitPath,
                                              "org.freedesktop.DBus.Properties", "Get"));
  const char* interface = kRealtimeKit;
  const char* property = "MaxRealtimePriority";
  if (!ask || !dbus_message_append_args(ask.get(), DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING,
                                        &property, DBUS_TYPE_INVALID)) {
    return 0;
  }
  ErrorHolder error;
  MessagePtr reply(
      dbus_connection_send_with_reply_and_block(connection, ask.get(), kReplyMillis, &error.error));
  DBusMessageIter iter;
  DBusMessageIter variant;
  if (!reply || !dbus_message_iter_init(reply.get(), &iter) ||
      dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_VARIANT) {
    return 0;
  }
  dbus_message_iter_recurse(&iter, &variant);
  if (dbus_message_iter_get_arg_type(&variant) != DBUS_TYPE_INT32) {
    return 0;
  }
  dbus_int32_t highest = 0;
  dbus_message_iter_get_basic(&variant, &highest);
  return highest;
}

std::string AskRealtimeKit(pid_t tid, int priority) {
  rlimit limit{};
  if (getrlimit(RLIMIT_RTTIME, &limit) == 0 &&
      (limit.rlim_max == RLIM_INFINITY || limit.rlim_max > kRealtimeMicros)) {
    limit = {kRealtimeMicros, kRealtimeMicros};
    if (setrlimit(RLIMIT_RTTIME, &limit) != 0) {
      return std::string("the real-time limit could not be set: ") + std::strerror(errno);
    }
  }
  ErrorHolder error;
  ConnectionPtr connection(dbus_bus_get_private(DBUS_BUS_SYSTEM, &error.error));
  if (!connection) {
    return "no system bus for RealtimeKit: " + error.Text();
  }
  dbus_connection_set_exit_on_disconnect(connection.get(), false);
  const int highest = HighestGranted(connection.get());
  if (highest <= 0) {
    return "RealtimeKit does not answer";
  }
  MessagePtr call(dbus_message_new_method_call(kRealtimeKit, kRealtimeKitPath, kRealtimeKit,
                                               "MakeThreadRealtime"));
  const dbus_uint64_t thread = static_cast<dbus_uint64_t>(tid);
  const dbus_uint32_t level = static_cast<dbus_uint32_t>(std::min(priority, highest));
  if (!call || !dbus_message_append_args(call.get(), DBUS_TYPE_UINT64, &thread, DBUS_TYPE_UINT32,
                                         &level, DBUS_TYPE_INVALID)) {
    return "out of memory asking RealtimeKit";
  }
  MessagePtr reply(dbus_connection_send_with_reply_and_block(connection.get(), call.get(),
                                                             kReplyMillis, &error.error));
  return reply ? std::string() : "RealtimeKit refused: " + error.Text();
}

}  // namespace

std::vector<pid_t> ThreadsOfProcess() {
  std::vector<pid_t> threads;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error)) {
    const std::string name = entry.path().filename().string();
    if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos) {
      threads.push_back(static_cast<pid_t>(std::stol(name)));
    }
  }
  return threads;
}

std::string MakeThreadRealtime(pid_t tid, int priority) {
  sched_param parameter{};
  parameter.sched_priority = std::clamp(priority, 1, 99);
  if (sched_setscheduler(tid, SCHED_FIFO | SCHED_RESET_ON_FORK, &parameter) == 0) {
    return {};
  }
  return AskRealtimeKit(tid, parameter.sched_priority);
}

}  // namespace quirelle::stream
