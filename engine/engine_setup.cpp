#include <cstring>

#include "engine/engine.h"

namespace vorlak {

void rateChanged(Engine& engine, float sampleRate) {
  engine.sampleRate = sampleRate;
  engine.inverseRate = 1.0f / sampleRate;
  rebuildPickupTable(engine.tables, sampleRate);
}

void engineSetup(Engine& engine, float sampleRate) {
  engine.sampleRate = sampleRate;
  buildTables(engine.tables, sampleRate);
  engine.sineTable = sharedSineTable();

  engine.fretBend = 0.0f;
  engine.fretBendSeen = 0.0f;
  engine.glissando = 0.0f;
  engine.fretNoiseAmp = 0.0f;
  engine.stringsActive = 1;
  engine.silenceCount = 5;
  engine.lastStyle = -1;
  engine.feedbackDrive = 0.0f;
  engine.fretNoisePhase = 0.0f;
  std::memset(engine.feedbackRing, 0, sizeof engine.feedbackRing);
  engine.feedbackReadPos = 0;
  engine.inverseRate = 1.0f / sampleRate;
  engine.modulationPhase[0] = 0.0f;
  engine.modulationPhase[1] = 0.0f;
  engine.tempo = 120.0f;
  engine.noiseState = 0x2545F491u;

  clearQueue(engine.queue);
  clearChannels(engine.channelModes);
  clearVoices(engine);

  engine.strumCount = 0;
  engine.strumTicks = 0;
  engine.heldNotes.count = 0;
  engine.glideTarget = 0;
  engine.glideNote = 0.0f;
  engine.glideStep = 0.0f;
  engine.activityHold = 0;
  engine.activityShown = 0;
  engine.volume = 1.0f;
  engine.expression = 1.0f;
  engine.fretBend = 1.0f;
}

}  // namespace vorlak
