// The spin box: a field for a whole number with up and down arrows. Its lowest value may stand
// for "none" and show a word instead; emptying the field gives that value (without a word, 0). It
// reports to its dialog only what the user changes, once an edit is complete (Enter, leaving the
// field, an arrow, a key or the wheel); the program's SetRange and SetPos are silent. Space and
// Home are left to the window's shortcuts (a number has no use for them); arrows and digits edit
// it, and a digit or sign typed where it shows 0 or its word for none replaces that.
#pragma once

#include <QSpinBox>

namespace quirelle::framework {

class CSpinCtrl : public QSpinBox {
  Q_OBJECT

 public:
  explicit CSpinCtrl(QWidget* parent = nullptr);

  // The position is clamped into the range.
  void SetRange(int minimum, int maximum);
  int GetRangeMin() const { return minimum(); }
  int GetRangeMax() const { return maximum(); }
  void SetPos(int position);
  int GetPos() const { return value(); }
  // The word the lowest value shows; empty: its number.
  void SetNoneText(const QString& text) { setSpecialValueText(text); }
  // Whether values above 0 show a plus sign, as a shift up or down does; from the next change.
  void SetSignShown(bool shown) { signShown_ = shown; }

 signals:
  void Changed(int position);

 protected:
  void fixup(QString& input) const override;
  QString textFromValue(int value) const override;
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool silent_ = false;
  bool signShown_ = false;
};

}  // namespace quirelle::framework
