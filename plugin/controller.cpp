#include "controller.h"

#include <chrono>
#include <exception>
#include <system_error>
#include <utility>

#include "generator/generate.h"
#include "generator/variant_seed.h"
#include "host_call.h"
#include "ids.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "state/state_stream.h"
#include "view.h"

using namespace Steinberg;

namespace tavrena {
namespace {

// Status lines shown by the editor page (which translates them for display).
constexpr const char* kStatusReady = "Готово";
constexpr const char* kStatusGenerating = "Генерация…";
constexpr const char* kStatusGenerated = "Соло сгенерировано";
constexpr const char* kStatusStale = "Проект изменён — повторите генерацию";

}  // namespace

Controller::Controller() : Controller(generateSolo) {}

Controller::Controller(GenerateFunction generateFunction)
    : state(defaultState()),
      transport({{"hasPpq", 0}, {"playing", 0}, {"position", 0}}),
      status(kStatusReady),
      generate(std::move(generateFunction)) {}

Controller::~Controller() {
  cancelRequested = true;
  if (job.valid()) job.wait();
}

tresult PLUGIN_API Controller::setComponentState(IBStream* stream) {
  return hostCall([&]() -> tresult {
    if (!readStateStream(stream, state)) return kResultFalse;
    ++revision;
    return kResultOk;
  });
}

tresult PLUGIN_API Controller::setState(IBStream* stream) {
  return setComponentState(stream);  // both carry the same document
}

tresult PLUGIN_API Controller::getState(IBStream* stream) {
  return hostCall([&]() -> tresult { return writeStateStream(stream, state); });
}

IPlugView* PLUGIN_API Controller::createView(FIDString name) {
  if (!name || !FIDStringsEqual(name, Vst::ViewType::kEditor)) return nullptr;
  try {
    return new View(this, browserFactory);
  } catch (...) {
    return nullptr;  // never an exception into the host
  }
}

tresult PLUGIN_API Controller::notify(Vst::IMessage* message) {
  return hostCall([&]() -> tresult { return receiveMessage(message); });
}

tresult Controller::receiveMessage(Vst::IMessage* message) {
  if (!message || !message->getMessageID() ||
      !FIDStringsEqual(message->getMessageID(), kMsgTransport))
    return EditController::notify(message);

  Vst::IAttributeList* attributes = message->getAttributes();
  const auto readFloat = [attributes](const char* key) {
    double value = 0.0;
    if (!attributes || attributes->getFloat(key, value) != kResultOk) value = 0.0;
    return value;
  };
  const auto readInt = [attributes](const char* key) {
    int64 value = 0;
    if (!attributes || attributes->getInt(key, value) != kResultOk) value = 0;
    return value;
  };
  // Built aside and swapped in, so a failure halfway keeps the previous report whole.
  Json report = Json::object();
  report[kAttrPpq] = readFloat(kAttrPpq);
  report[kAttrPosition] = readFloat(kAttrPosition);
  report[kAttrBpm] = readFloat(kAttrBpm);
  report[kAttrBeatsPerBar] = readFloat(kAttrBeatsPerBar);
  report[kAttrNumerator] = readInt(kAttrNumerator);
  report[kAttrDenominator] = readInt(kAttrDenominator);
  report[kAttrPlaying] = readInt(kAttrPlaying);
  report[kAttrHasPpq] = readInt(kAttrHasPpq);
  transport.swap(report);
  return kResultOk;
}

bool Controller::applyState(const Json& candidate) {
  try {
    Json normalised = normalizeState(candidate);
    const std::string text = serializeState(normalised);

    // Owned: the message goes back to the host on every path out of here.
    IPtr<Vst::IMessage> message = owned(allocateMessage());
    if (!message) return false;
    message->setMessageID(kMsgState);
    Vst::IAttributeList* attributes = message->getAttributes();
    if (!attributes || attributes->setBinary(kAttrJson, text.data(),
                                             static_cast<uint32>(text.size())) != kResultOk)
      return false;
    if (sendMessage(message) != kResultOk) return false;

    state = std::move(normalised);
    ++revision;
    setDirty(true);
    return true;
  } catch (const std::exception& error) {
    status = error.what();
    return false;
  }
}

bool Controller::startGeneration() {
  if (job.valid()) return false;
  cancelRequested = false;
  jobRevision = revision;
  jobVariation = state.at("variation").get<std::int32_t>();

  Json configuration = state.at("config");
  configuration["seed"] = variantSeedOf(configuration, jobVariation);

  status = kStatusGenerating;
  try {
    job = std::async(std::launch::async,
                     [this, generator = generate, configuration = std::move(configuration)] {
                       return generator(configuration, cancelRequested);
                     });
  } catch (const std::system_error& error) {
    status = error.what();  // no thread could be started
    return false;
  }
  return true;
}

void Controller::collectGeneration() {
  if (!job.valid() || job.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;

  Json notes;
  try {
    notes = job.get();  // leaves `job` empty
  } catch (const std::exception& error) {
    status = error.what();
    return;
  }

  if (revision != jobRevision) {
    status = kStatusStale;
    return;
  }
  Json candidate = state;
  candidate.at("variants").at(static_cast<std::size_t>(jobVariation)) = std::move(notes);
  if (applyState(candidate)) status = kStatusGenerated;
}

void Controller::requestCancel() {
  cancelRequested = true;
}

bool Controller::sendPlayback(bool play) {
  IPtr<Vst::IMessage> message = owned(allocateMessage());
  if (!message) return false;
  message->setMessageID(kMsgPlayback);
  Vst::IAttributeList* attributes = message->getAttributes();
  if (!attributes || attributes->setInt(kAttrPlay, play ? 1 : 0) != kResultOk) return false;
  return sendMessage(message) == kResultOk;
}

void Controller::requestTransport() {
  sendMessageID(kMsgPoll);
}

}  // namespace tavrena
