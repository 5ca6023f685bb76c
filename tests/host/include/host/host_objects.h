#pragma once
// The host's side of the VST 3 conversation: application context with message
// allocation, messages and attribute lists, component handler, output event list and
// the connection between processor and controller.
#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstattributes.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivsthostapplication.h"
#include "pluginterfaces/vst/ivstmessage.h"

namespace tavrena::host {

// Attribute list of a message; heap-allocated and reference counted (deleted by its
// last release).
class AttributeList final : public Steinberg::Vst::IAttributeList {
 public:
  using Binary = std::vector<char>;
  using Value = std::variant<Steinberg::int64, double, std::u16string, Binary>;

  Steinberg::tresult PLUGIN_API setInt(AttrID id, Steinberg::int64 value) override;
  Steinberg::tresult PLUGIN_API getInt(AttrID id, Steinberg::int64& value) override;
  Steinberg::tresult PLUGIN_API setFloat(AttrID id, double value) override;
  Steinberg::tresult PLUGIN_API getFloat(AttrID id, double& value) override;
  Steinberg::tresult PLUGIN_API setString(AttrID id, const Steinberg::Vst::TChar* string) override;
  Steinberg::tresult PLUGIN_API getString(AttrID id, Steinberg::Vst::TChar* string,
                                          Steinberg::uint32 sizeInBytes) override;
  Steinberg::tresult PLUGIN_API setBinary(AttrID id, const void* data,
                                          Steinberg::uint32 sizeInBytes) override;
  Steinberg::tresult PLUGIN_API getBinary(AttrID id, const void*& data,
                                          Steinberg::uint32& sizeInBytes) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return ++references_; }
  Steinberg::uint32 PLUGIN_API release() override;

  const std::map<std::string, Value>& values() const { return values_; }
  // Test access: read a binary attribute as text (empty if absent).
  std::string binaryText(const char* id) const;

 private:
  std::map<std::string, Value> values_;
  std::atomic<Steinberg::uint32> references_{1};
};

// A message; counts live instances so tests can prove that none is leaked.
class Message final : public Steinberg::Vst::IMessage {
 public:
  Message();
  ~Message();

  Steinberg::FIDString PLUGIN_API getMessageID() override { return id_.c_str(); }
  void PLUGIN_API setMessageID(Steinberg::FIDString id) override { id_ = id ? id : ""; }
  Steinberg::Vst::IAttributeList* PLUGIN_API getAttributes() override { return attributes_; }

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return ++references_; }
  Steinberg::uint32 PLUGIN_API release() override;

  AttributeList& attributes() { return *attributes_; }
  static int liveCount() { return live_; }

 private:
  std::string id_;
  Steinberg::IPtr<AttributeList> attributes_;
  std::atomic<Steinberg::uint32> references_{1};
  static std::atomic<int> live_;
};

// Objects the test owns (on the stack or as members) only count references and never
// delete themselves; the test keeps them alive until the plug-in has let go of them.

// The host context handed to initialize: its name, and messages on request.
class HostApplication : public Steinberg::Vst::IHostApplication {
 public:
  Steinberg::tresult PLUGIN_API getName(Steinberg::Vst::String128 name) override;
  // IMessage and IAttributeList, unless allocation was switched off.
  Steinberg::tresult PLUGIN_API createInstance(Steinberg::TUID cid, Steinberg::TUID iid,
                                               void** obj) override;
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return ++references_; }
  Steinberg::uint32 PLUGIN_API release() override { return --references_; }

  // Off: createInstance refuses, as a host short of memory would.
  void setMessageAllocation(bool enabled) { allocate_ = enabled; }
  int messagesAllocated() const { return allocated_; }

 private:
  std::atomic<bool> allocate_{true};
  std::atomic<int> allocated_{0};
  std::atomic<Steinberg::uint32> references_{1};
};

// IComponentHandler and IComponentHandler2, recording what the controller reports.
class ComponentHandler : public Steinberg::Vst::IComponentHandler,
                         public Steinberg::Vst::IComponentHandler2 {
 public:
  Steinberg::tresult PLUGIN_API beginEdit(Steinberg::Vst::ParamID) override;
  Steinberg::tresult PLUGIN_API performEdit(Steinberg::Vst::ParamID,
                                            Steinberg::Vst::ParamValue) override;
  Steinberg::tresult PLUGIN_API endEdit(Steinberg::Vst::ParamID) override;
  Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32 flags) override;
  Steinberg::tresult PLUGIN_API setDirty(Steinberg::TBool state) override;
  Steinberg::tresult PLUGIN_API requestOpenEditor(Steinberg::FIDString name) override;
  Steinberg::tresult PLUGIN_API startGroupEdit() override { return Steinberg::kResultOk; }
  Steinberg::tresult PLUGIN_API finishGroupEdit() override { return Steinberg::kResultOk; }
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return ++references_; }
  Steinberg::uint32 PLUGIN_API release() override { return --references_; }

  int dirtyCalls = 0;
  bool lastDirty = false;
  int edits = 0;
  int restartFlags = 0;

 private:
  std::atomic<Steinberg::uint32> references_{1};
};

// Output events of one block. Storage is reserved up front: addEvent never allocates,
// and refuses once capacity events are held.
class EventList : public Steinberg::Vst::IEventList {
 public:
  explicit EventList(std::size_t capacity = 4096);
  Steinberg::int32 PLUGIN_API getEventCount() override;
  Steinberg::tresult PLUGIN_API getEvent(Steinberg::int32 index, Steinberg::Vst::Event& e) override;
  Steinberg::tresult PLUGIN_API addEvent(Steinberg::Vst::Event& e) override;
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return ++references_; }
  Steinberg::uint32 PLUGIN_API release() override { return --references_; }

  void clear() { events_.clear(); }
  const std::vector<Steinberg::Vst::Event>& events() const { return events_; }

 private:
  std::vector<Steinberg::Vst::Event> events_;
  std::size_t capacity_;
  std::atomic<Steinberg::uint32> references_{1};
};

// Stands between two connection points as a host's connection proxy does. Direct
// mode (the default) forwards each message at once and returns the receiver's
// result; deferred mode queues messages (returning kResultOk) until pump() delivers
// them, on whichever thread calls it. Every message passing is logged by identifier.
class ConnectionProxy final : public Steinberg::Vst::IConnectionPoint {
 public:
  explicit ConnectionProxy(Steinberg::Vst::IConnectionPoint* destination)
      : destination_(destination) {}
  ~ConnectionProxy();

  Steinberg::tresult PLUGIN_API connect(Steinberg::Vst::IConnectionPoint* other) override;
  Steinberg::tresult PLUGIN_API disconnect(Steinberg::Vst::IConnectionPoint* other) override;
  Steinberg::tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) override;
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return ++references_; }
  Steinberg::uint32 PLUGIN_API release() override { return --references_; }

  void setDeferred(bool deferred) { deferred_ = deferred; }
  // Delivers queued messages in order; returns how many.
  int pump();
  // Stops forwarding (the destination is going away).
  void cut();
  std::vector<std::string> log() const;
  void clearLog();

 private:
  mutable std::mutex mutex_;
  Steinberg::Vst::IConnectionPoint* destination_;
  std::deque<Steinberg::IPtr<Steinberg::Vst::IMessage>> queue_;
  std::vector<std::string> log_;
  std::atomic<bool> deferred_{false};
  std::atomic<Steinberg::uint32> references_{1};
};

}  // namespace tavrena::host
