// The parameters as the engine and the chain read them in one pass: the choices of the option
// parameters already decoded, the continuous ones as the 0..1 values the host set. The
// instrument takes one snapshot per pass and hands it down by reference, so no value can
// change halfway through a pass and nothing below the instrument needs the parameter table.
#pragma once

namespace vorlak {

struct Patch {
  int strings;  // excitation: 0 noise, 1..3 the guitars, 4 slap, 5 bass, 6 fretless
  int coils;    // 0 none, 1 single, 2 double
  float pickupPos;
  float tone;
  float slapLevel;
  float fretLevel;
  float harmonic;
  float damp;
  float velVScale;
  float velDScale;

  int ampType;  // AmpType
  float drive;
  float presence;
  float feedback;
  float eqLow;
  float eqMid;
  float eqHigh;
  int cabType;  // cabinet model 0..3
  int fx;       // FxChoice
  float fxPar1;
  float fxPar2;

  int aid;  // Style
  float timing;
  int glissandoSrc;  // 0 pitch bend, 1 modulation wheel slides across the frets
};

}  // namespace vorlak
