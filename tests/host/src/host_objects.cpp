#include "host/host_objects.h"

#include <algorithm>
#include <cstring>

#include "host/module.h"

namespace tavrena::host {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

bool sameIid(const TUID a, const FUID& b) {
  return FUnknownPrivate::iidEqual(a, b.toTUID());
}

template <class Interface, class Object>
tresult answer(Object* object, Interface* face, void** obj) {
  object->addRef();
  *obj = face;
  return kResultOk;
}

}  // namespace

// --- AttributeList ------------------------------------------------------------------

tresult PLUGIN_API AttributeList::setInt(AttrID id, int64 value) {
  if (!id) return kInvalidArgument;
  values_[id] = value;
  return kResultOk;
}

tresult PLUGIN_API AttributeList::getInt(AttrID id, int64& value) {
  const auto found = id ? values_.find(id) : values_.end();
  if (found == values_.end() || !std::holds_alternative<int64>(found->second)) return kResultFalse;
  value = std::get<int64>(found->second);
  return kResultOk;
}

tresult PLUGIN_API AttributeList::setFloat(AttrID id, double value) {
  if (!id) return kInvalidArgument;
  values_[id] = value;
  return kResultOk;
}

tresult PLUGIN_API AttributeList::getFloat(AttrID id, double& value) {
  const auto found = id ? values_.find(id) : values_.end();
  if (found == values_.end() || !std::holds_alternative<double>(found->second)) return kResultFalse;
  value = std::get<double>(found->second);
  return kResultOk;
}

tresult PLUGIN_API AttributeList::setString(AttrID id, const TChar* string) {
  if (!id || !string) return kInvalidArgument;
  std::u16string text;
  for (const TChar* c = string; *c; ++c) text += static_cast<char16_t>(*c);
  values_[id] = std::move(text);
  return kResultOk;
}

tresult PLUGIN_API AttributeList::getString(AttrID id, TChar* string, uint32 sizeInBytes) {
  const auto found = id ? values_.find(id) : values_.end();
  if (found == values_.end() || !std::holds_alternative<std::u16string>(found->second) || !string)
    return kResultFalse;
  const auto& text = std::get<std::u16string>(found->second);
  const std::size_t room = sizeInBytes / sizeof(TChar);
  if (room == 0) return kResultFalse;
  const std::size_t count = std::min(room - 1, text.size());
  std::copy_n(text.data(), count, string);
  string[count] = 0;
  return kResultOk;
}

tresult PLUGIN_API AttributeList::setBinary(AttrID id, const void* data, uint32 sizeInBytes) {
  if (!id || (!data && sizeInBytes > 0)) return kInvalidArgument;
  const auto* bytes = static_cast<const char*>(data);
  values_[id] = Binary(bytes, bytes + sizeInBytes);
  return kResultOk;
}

tresult PLUGIN_API AttributeList::getBinary(AttrID id, const void*& data, uint32& sizeInBytes) {
  const auto found = id ? values_.find(id) : values_.end();
  if (found == values_.end() || !std::holds_alternative<Binary>(found->second)) return kResultFalse;
  const auto& bytes = std::get<Binary>(found->second);
  data = bytes.data();
  sizeInBytes = static_cast<uint32>(bytes.size());
  return kResultOk;
}

std::string AttributeList::binaryText(const char* id) const {
  const auto found = values_.find(id);
  if (found == values_.end() || !std::holds_alternative<Binary>(found->second)) return {};
  const auto& bytes = std::get<Binary>(found->second);
  return std::string(bytes.begin(), bytes.end());
}

tresult PLUGIN_API AttributeList::queryInterface(const TUID iid, void** obj) {
  if (sameIid(iid, IAttributeList::iid) || sameIid(iid, FUnknown::iid))
    return answer(this, static_cast<IAttributeList*>(this), obj);
  *obj = nullptr;
  return kNoInterface;
}

uint32 PLUGIN_API AttributeList::release() {
  const uint32 left = --references_;
  if (left == 0) delete this;
  return left;
}

// --- Message ------------------------------------------------------------------------

std::atomic<int> Message::live_{0};

Message::Message() : attributes_(owned(new AttributeList())) {
  ++live_;
}

Message::~Message() {
  --live_;
}

tresult PLUGIN_API Message::queryInterface(const TUID iid, void** obj) {
  if (sameIid(iid, IMessage::iid) || sameIid(iid, FUnknown::iid))
    return answer(this, static_cast<IMessage*>(this), obj);
  *obj = nullptr;
  return kNoInterface;
}

uint32 PLUGIN_API Message::release() {
  const uint32 left = --references_;
  if (left == 0) delete this;
  return left;
}

// --- HostApplication ----------------------------------------------------------------

tresult PLUGIN_API HostApplication::getName(String128 name) {
  const auto text = toUtf16("Tavrena test host");
  std::fill_n(name, 128, 0);
  std::copy_n(text.data(), std::min<std::size_t>(text.size(), 127), name);
  return kResultOk;
}

tresult PLUGIN_API HostApplication::createInstance(TUID cid, TUID iid, void** obj) {
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  if (!allocate_) return kResultFalse;
  FUnknown* object = nullptr;
  if (sameIid(cid, IMessage::iid))
    object = static_cast<IMessage*>(new Message());
  else if (sameIid(cid, IAttributeList::iid))
    object = static_cast<IAttributeList*>(new AttributeList());
  else
    return kNoInterface;
  const tresult result = object->queryInterface(iid, obj);
  object->release();
  if (result == kResultOk) ++allocated_;
  return result;
}

tresult PLUGIN_API HostApplication::queryInterface(const TUID iid, void** obj) {
  if (sameIid(iid, IHostApplication::iid) || sameIid(iid, FUnknown::iid))
    return answer(this, static_cast<IHostApplication*>(this), obj);
  *obj = nullptr;
  return kNoInterface;
}

// --- ComponentHandler ---------------------------------------------------------------

tresult PLUGIN_API ComponentHandler::beginEdit(ParamID) {
  ++edits;
  return kResultOk;
}

tresult PLUGIN_API ComponentHandler::performEdit(ParamID, ParamValue) {
  ++edits;
  return kResultOk;
}

tresult PLUGIN_API ComponentHandler::endEdit(ParamID) {
  ++edits;
  return kResultOk;
}

tresult PLUGIN_API ComponentHandler::restartComponent(int32 flags) {
  restartFlags |= flags;
  return kResultOk;
}

tresult PLUGIN_API ComponentHandler::setDirty(TBool state) {
  ++dirtyCalls;
  lastDirty = state != 0;
  return kResultOk;
}

tresult PLUGIN_API ComponentHandler::requestOpenEditor(FIDString) {
  return kResultFalse;
}

tresult PLUGIN_API ComponentHandler::queryInterface(const TUID iid, void** obj) {
  if (sameIid(iid, IComponentHandler::iid) || sameIid(iid, FUnknown::iid))
    return answer(this, static_cast<IComponentHandler*>(this), obj);
  if (sameIid(iid, IComponentHandler2::iid))
    return answer(this, static_cast<IComponentHandler2*>(this), obj);
  *obj = nullptr;
  return kNoInterface;
}

// --- EventList ----------------------------------------------------------------------

EventList::EventList(std::size_t capacity) : capacity_(capacity) {
  events_.reserve(capacity);
}

int32 PLUGIN_API EventList::getEventCount() {
  return static_cast<int32>(events_.size());
}

tresult PLUGIN_API EventList::getEvent(int32 index, Event& e) {
  if (index < 0 || static_cast<std::size_t>(index) >= events_.size()) return kInvalidArgument;
  e = events_[static_cast<std::size_t>(index)];
  return kResultOk;
}

tresult PLUGIN_API EventList::addEvent(Event& e) {
  if (events_.size() >= capacity_) return kResultFalse;
  events_.push_back(e);
  return kResultOk;
}

tresult PLUGIN_API EventList::queryInterface(const TUID iid, void** obj) {
  if (sameIid(iid, IEventList::iid) || sameIid(iid, FUnknown::iid))
    return answer(this, static_cast<IEventList*>(this), obj);
  *obj = nullptr;
  return kNoInterface;
}

// --- ConnectionProxy ----------------------------------------------------------------

ConnectionProxy::~ConnectionProxy() {
  cut();
}

tresult PLUGIN_API ConnectionProxy::connect(IConnectionPoint* other) {
  return other ? kResultOk : kInvalidArgument;
}

tresult PLUGIN_API ConnectionProxy::disconnect(IConnectionPoint*) {
  return kResultOk;
}

tresult PLUGIN_API ConnectionProxy::notify(IMessage* message) {
  if (!message) return kInvalidArgument;
  IConnectionPoint* destination = nullptr;
  {
    std::lock_guard lock(mutex_);
    log_.push_back(message->getMessageID() ? message->getMessageID() : "");
    if (!destination_) return kResultFalse;
    if (deferred_) {
      queue_.emplace_back(message);  // IPtr adds a reference for the queue
      return kResultOk;
    }
    destination = destination_;
  }
  return destination->notify(message);
}

int ConnectionProxy::pump() {
  int delivered = 0;
  for (;;) {
    IPtr<IMessage> message;
    IConnectionPoint* destination = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty() || !destination_) return delivered;
      message = queue_.front();
      queue_.pop_front();
      destination = destination_;
    }
    destination->notify(message);
    ++delivered;
  }
}

void ConnectionProxy::cut() {
  std::deque<IPtr<IMessage>> dropped;
  std::lock_guard lock(mutex_);
  destination_ = nullptr;
  dropped.swap(queue_);
}

std::vector<std::string> ConnectionProxy::log() const {
  std::lock_guard lock(mutex_);
  return log_;
}

void ConnectionProxy::clearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

tresult PLUGIN_API ConnectionProxy::queryInterface(const TUID iid, void** obj) {
  if (sameIid(iid, IConnectionPoint::iid) || sameIid(iid, FUnknown::iid))
    return answer(this, static_cast<IConnectionPoint*>(this), obj);
  *obj = nullptr;
  return kNoInterface;
}

}  // namespace tavrena::host
