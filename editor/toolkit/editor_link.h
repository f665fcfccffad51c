// The panel's one way to the instrument. Each plug-in format implements it over its own
// host interface; parameter indexes and values are those of instrument/parameters.h.
#pragma once

namespace vorlak {

class EditorLink {
 public:
  virtual ~EditorLink() = default;

  // Bracket a gesture on one parameter (a drag, a click), so that the host records the
  // automation written inside as one edit.
  virtual void beginEdit(int index) = 0;
  virtual void endEdit(int index) = 0;
  // Sets the parameter as the user did it, and has the host record it as automation.
  virtual void setParameterAutomated(int index, float value) = 0;
  // The parameter's current value, 0 to 1.
  virtual float getParameter(int index) = 0;
  virtual int getProgram() = 0;
  virtual void setProgram(int program) = 0;
  // Asks the host to show again what it shows of the instrument (program, values).
  virtual void updateDisplay() = 0;
  // Gives the host its own idle while a mouse loop of the panel holds its thread.
  virtual void hostIdle() = 0;
  // Asks the host to make the panel's window width x height device pixels (the panel's scale
  // changed while open). Hosts that cannot resize keep the old size.
  virtual void requestResize(int /*width*/, int /*height*/) {}
};

}  // namespace vorlak
