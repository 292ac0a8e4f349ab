// The progress dialog of a download: animation, status, progress bar, remaining time, rate and
// the cancel button, which sets the catalogue window's cancel flag.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "support/win/dialog.h"

// Moves a dialog to the centre of its owner window (the screen's work area keeps it visible).
void CentreOnOwner(HWND dialog);

class CDownloadDlg : public win::CDialog {
 public:
  // cancelFlag: the catalogue window's flag, set to 1 by the cancel button.
  explicit CDownloadDlg(int& cancelFlag);

  // Each setter stores its text and refreshes all three texts.
  void SetStatus(const std::string& text);
  void SetRate(const std::string& text);
  void SetRemaining(const std::string& text);
  const std::string& GetStatus() const { return status; }
  const std::string& GetRate() const { return rate; }
  const std::string& GetRemaining() const { return remaining; }

  // The progress bar: 0 to length, position. Lengths beyond the control's range are scaled.
  void SetProgressRange(std::uint64_t length);
  void SetProgressPosition(std::uint64_t position);

  // Stops the animation, hides the window and destroys it.
  void Close();

 protected:
  bool OnInitDialog() override;
  void OnOK() override {}  // the Enter key does nothing
  void OnCancel() override;

 private:
  void Refresh();

  int& cancel;
  std::string status, rate, remaining;
  unsigned shift = 0;  // progress values are shifted right by this to fit an int
};
