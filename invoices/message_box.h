// The one message the routines show: a modal box with the information icon and one OK button.
// The Windows build shows a real box; elsewhere the messages are recorded.
#pragma once

#include <vector>

#include "host/value.h"

namespace addin {

// The box's caption: the component's name, as a script's message boxes are titled by default.
inline constexpr const char16_t* kMessageCaption = u"AddIn";

class InformationBox {
 public:
  virtual ~InformationBox() = default;
  // Shows the text and returns when the user has closed the box.
  virtual void ShowInformation(const Text& caption, const Text& text) = 0;
};

// Keeps the messages instead of showing them.
class RecordedMessages final : public InformationBox {
 public:
  void ShowInformation(const Text& caption, const Text& text) override { messages.push_back(text); }
  std::vector<Text> messages;
};

// The box the routines use; the Windows build installs the real one.
InformationBox& Messages();
// Replaces it (tests); returns the one replaced.
InformationBox* SetInformationBox(InformationBox* box);

}  // namespace addin
