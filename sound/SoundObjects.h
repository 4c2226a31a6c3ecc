// The sound layer's process-wide objects: the sound set's image and index
// (SoundSet.h) and the wave image (WaveImage.h). A program's start-up builds
// them right after the heap client and takes them down before it.
#pragma once

void StartSoundObjects();
void StopSoundObjects();
