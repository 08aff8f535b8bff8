// Resource and control ids of the player and About dialogs.
#pragma once

namespace quirelle::res {

// Dialog templates.
inline constexpr int kIddAbout = 100;
inline constexpr int kIddPlayer = 102;

// Icons.
inline constexpr int kIdiProgram = 128;     // piano keys, 32 × 32 and 16 × 16
inline constexpr int kIdiSheetMusic = 155;  // a page of sheet music, 32 × 32

// Button faces: up, down, focused, disabled for each transport button.
inline constexpr int kIdbOpenUp = 135;
inline constexpr int kIdbOpenDown = 136;
inline constexpr int kIdbOpenFocused = 137;
inline constexpr int kIdbOpenDisabled = 138;
inline constexpr int kIdbPlayUp = 139;
inline constexpr int kIdbPlayDown = 140;
inline constexpr int kIdbPlayFocused = 141;
inline constexpr int kIdbPlayDisabled = 142;
inline constexpr int kIdbPauseUp = 143;
inline constexpr int kIdbPauseDown = 144;
inline constexpr int kIdbPauseFocused = 145;
inline constexpr int kIdbPauseDisabled = 146;
inline constexpr int kIdbStopUp = 147;
inline constexpr int kIdbStopDown = 148;
inline constexpr int kIdbStopFocused = 149;
inline constexpr int kIdbStopDisabled = 150;
inline constexpr int kIdbRewindUp = 151;
inline constexpr int kIdbRewindDown = 152;
inline constexpr int kIdbRewindFocused = 153;
inline constexpr int kIdbRewindDisabled = 154;
inline constexpr int kFirstFace = kIdbOpenUp;
inline constexpr int kLastFace = kIdbRewindDisabled;

// String table: the credits of the About box, joined in this order.
inline constexpr int kIdsCredits1 = 1;
inline constexpr int kIdsCredits2 = 2;
inline constexpr int kIdsCredits3 = 3;
inline constexpr int kIdsCredits4 = 4;

// Common commands.
inline constexpr int kIdOk = 1;

// Player dialog (template 102).
inline constexpr int kIdcVolume1 = 1000;  // trackbar, row 1, channel index 0
inline constexpr int kIdcPlay = 1001;
inline constexpr int kIdcPause = 1002;
inline constexpr int kIdcStop = 1003;
inline constexpr int kIdcTempo = 1004;  // vertical trackbar
inline constexpr int kIdcVolumeText1 = 1005;
inline constexpr int kIdcTempoText = 1006;
inline constexpr int kIdcPosition = 1007;  // bar display
inline constexpr int kIdcAutoReplay = 1008;
inline constexpr int kIdcOpen = 1009;
inline constexpr int kIdcVolume2 = 1010;
inline constexpr int kIdcVolume3 = 1011;
inline constexpr int kIdcVolume4 = 1012;
inline constexpr int kIdcVolumeText2 = 1013;
inline constexpr int kIdcVolumeText3 = 1014;
inline constexpr int kIdcVolumeText4 = 1015;
inline constexpr int kIdcRewind = 1016;
inline constexpr int kIdcAbout = 1018;
inline constexpr int kIdcName2 = 1031;
inline constexpr int kIdcName3 = 1032;
inline constexpr int kIdcName1 = 1033;
inline constexpr int kIdcName4 = 1034;
inline constexpr int kIdcTitle = 1037;
inline constexpr int kIdcFromBar = 1040;  // spin box; its lowest value: from the song's start
inline constexpr int kIdcToBar = 1041;    // spin box; its lowest value: to the song's end
inline constexpr int kIdcLoop = 1042;
inline constexpr int kIdcCountIn = 1043;
inline constexpr int kIdcPickup = 1044;   // spin box: beats of a pickup the file does not write
inline constexpr int kIdcKey = 1045;      // spin box: semitones, -12 to 12
inline constexpr int kIdcSpeedUp = 1046;  // spin box: points faster each repeat; lowest: off
inline constexpr int kIdcStartingNotes = 1047;
inline constexpr int kIdcMute1 = 1048;       // check boxes by the voice names: 1048 to 1051
inline constexpr int kIdcSolo1 = 1052;       // and 1052 to 1055
inline constexpr int kIdcWords = 1056;       // the words sung now, the syllable in bold
inline constexpr int kIdcPickupUnit = 1057;  // what the pickup counts: the unit of the metre

// About dialog (template 100).
inline constexpr int kIdcUpdatesLabel = 1005;
inline constexpr int kIdcUpdatesAddress = 1006;
inline constexpr int kIdcContact = 1007;
inline constexpr int kIdcCredits = 1026;

}  // namespace quirelle::res
