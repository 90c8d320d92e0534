// Child controls, each made from a small struct of creation arguments with defaults and event
// callbacks, so that a window's layout reads as data. Positions and sizes are layout units
// (pixels at 96 dpi) relative to the parent's client area; texts are GBK.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "ui/form.h"
#include "ui/window.h"

namespace qor::ui {

class Control : public Window {
 public:
  ~Control() override;
  Container& Parent() const { return parent_; }

 protected:
  Control(Container& parent, const Bounds& bounds, Align align);
  // Creates the system window at the designed bounds inside the parent and joins the parent's
  // layout. Derived constructors call it once.
  void CreateChild(const wchar_t* className, std::string_view text, DWORD style, DWORD exStyle = 0);
  // The control's own font (the given one, or the parent's when none is given); sends
  // WM_SETFONT to system-class controls.
  void ApplyFont(const std::optional<FontSpec>& params);
  HFONT FontHandle() const { return font_ ? font_.Get() : parent_.FontHandle(); }
  const FontSpec& FontInUse() const { return fontSpec_; }
  // Pixel rectangle of the designed bounds.
  RECT DesignedPixels() const;

 private:
  Container& parent_;
  Bounds designed_;
  Align align_;
  UniqueFont font_;
  FontSpec fontSpec_;
};

// ---- Label: painted text. Sizes itself to its text (autoSize) or keeps its size and wraps at
// word boundaries (wordWrap). The text colour is the font's colour.
struct LabelArgs {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  std::string_view text;
  bool autoSize = true;
  bool wordWrap = false;
  std::optional<FontSpec> font;  // empty: the parent's font
  std::optional<Color> color;    // background; empty: the parent's colour
  bool handCursor = false;
  bool visible = true;
  std::function<void()> onClick;                 // left button released over the label
  std::function<void(MouseButton)> onMouseDown;  // any button pressed over the label
};

class Label : public Control {
 public:
  Label(Container& parent, const LabelArgs& args);
  // Sets the text; an auto-sizing label takes the size of the text's extent (line breaks start
  // new lines, tabs expand, an empty text measures as one space).
  void SetCaption(std::string_view text);
  std::string Caption() const { return text_; }
  void SetFont(const FontSpec& font);

  std::function<void()> onClick;
  std::function<void(MouseButton)> onMouseDown;

 protected:
  std::optional<LRESULT> HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void AutoSize();
  std::string text_;
  bool autoSize_;
  bool wordWrap_;
  std::optional<Color> color_;
  bool handCursor_;
};

// ---- CheckBox: a system check box (its text drawn in the font's colour).
struct CheckBoxArgs {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  std::string_view text;
  bool checked = false;
  std::optional<FontSpec> font;
  bool visible = true;
  std::function<void()> onClick;  // the state changed (mouse or keyboard)
};

class CheckBox : public Control {
 public:
  CheckBox(Container& parent, const CheckBoxArgs& args);
  bool Checked() const;
  // Changes the state without running onClick.
  void SetChecked(bool checked);
  COLORREF TextColor() const { return FontInUse().color.Resolve(); }

  std::function<void()> onClick;

 protected:
  void HandleCommand(WORD code) override;
  std::optional<COLORREF> ParentPaintedTextColor() const override { return TextColor(); }
};

// ---- PictureButton: a flat button that shows a bitmap and takes no keyboard focus.
struct PictureButtonArgs {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  const char* bitmapResource = nullptr;  // name of an RT_BITMAP resource of the program
  std::string_view hint;                 // tooltip text (GBK); empty: none
  bool visible = true;
  std::function<void()> onClick;
};

class PictureButton : public Control {
 public:
  PictureButton(Container& parent, const PictureButtonArgs& args);
  // Replaces the picture (the button takes ownership).
  void SetPicture(UniqueBitmap bitmap);
  // Runs onClick as a click would.
  void Click();

  std::function<void()> onClick;

 protected:
  std::optional<LRESULT> HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  UniqueBitmap picture_;
  std::string hint_;
  bool pressed_ = false;
  bool hot_ = false;
};

// ---- ProgressBar: the common-controls progress bar.
struct ProgressBarArgs {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int min = 0;
  int max = 100;
  int step = 10;
  int position = 0;
  Align align = Align::kNone;
  bool visible = true;
};

class ProgressBar : public Control {
 public:
  ProgressBar(Container& parent, const ProgressBarArgs& args);
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Step() const { return step_; }
  int Position() const;
  void SetMax(int max);
  void SetPosition(int position);
  // Advances the position by the step (kept within the range).
  void StepIt();

 private:
  int min_;
  int max_;
  int step_;
};

// ---- Panel: a coloured container for other controls (no bevel).
struct PanelArgs {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  std::optional<Color> color;  // empty: the parent's colour
  std::optional<FontSpec> font;
  Align align = Align::kNone;
  bool visible = true;
};

class Panel : public Container {
 public:
  Panel(Container& parent, const PanelArgs& args);
  ~Panel() override;
  Container& Parent() const { return parent_; }

 private:
  Container& parent_;
};

// ---- Image: a bitmap drawn with one colour transparent (by default the colour of its
// bottom-left pixel), so the parent's background shows through.
struct ImageArgs {
  int left = 0;
  int top = 0;
  int width = 16;
  int height = 16;
  bool transparent = true;
  bool visible = true;
  std::function<void()> onClick;
};

class Image : public Control {
 public:
  Image(Container& parent, const ImageArgs& args);
  // Shows bitmap (owned by the image from now on), at its own size.
  void SetPicture(UniqueBitmap bitmap);
  bool HasPicture() const { return static_cast<bool>(picture_); }

  std::function<void()> onClick;

 protected:
  std::optional<LRESULT> HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  UniqueBitmap picture_;
  bool transparent_;
};

}  // namespace qor::ui
