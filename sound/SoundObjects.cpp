#include "SoundObjects.h"

#include "../rtl/ProcessObject.h"
#include "SoundSet.h"
#include "WaveImage.h"

namespace {

struct SoundObjects {
    TArray<uint8_t> soundSetImage{256};
    TArray<InstrumentEntry> instruments{4};
    TArray<const uint8_t*> regionTable{256};
    TArray<wchar_t*> instrumentNames{64};
    TArray<uint8_t> waveImage{256};
};
TProcessObject<SoundObjects> objects;

}  // namespace

TArray<uint8_t>& SoundSetImage = (*objects).soundSetImage;
TArray<InstrumentEntry>& instruments = (*objects).instruments;
TArray<const uint8_t*>& regionTable = (*objects).regionTable;
TArray<wchar_t*>& instrumentNames = (*objects).instrumentNames;
TArray<uint8_t>& WaveImage = (*objects).waveImage;

void StartSoundObjects() { objects.Construct(); }
void StopSoundObjects() { objects.Destroy(); }
