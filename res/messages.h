// The message texts that more than one part of the program shows, so that
// each is spelt once: the run action and the uninstaller say the same thing
// when the install record or its folder no longer holds.
#pragma once

// The caption of the program's own message boxes.
constexpr char kMessageCaption[] = "SETUP";

// What the run and uninstall actions say when the record or its folder no
// longer holds.
constexpr char kNotInstalledText[] = "正しくインストールが行われていません。";
