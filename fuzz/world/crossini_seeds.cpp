// Seeds of crossini_fuzz: a saved batch, short and overrunning counts, and values cut short.
#include "fuzz/Seeds.h"

bool WriteSeeds() {
    using quor::seeds::Seed;
    Seed("saved.ini",
         "[Bush]\r\nTexName=bush.dds\r\nWave=1\r\nXWaveValue=91.200000\r\nZWaveValue=91.700000\r\n"
         "WaveEffectX=0.030000\r\nWaveEffectZ=0.030000\r\nWaveRand=5.000000\r\nCrossNum=3\r\nArrayNum=2\r\n"
         "Data0=(1.000,2.000,3.000,4.000,5.000,1.000,0.500,0.250,1.000)\r\n"
         "Data1=(-7.000,8.000,9.000,0.500,1.000,0.000,0.000,0.000,1.000)\r\n");
    Seed("bad.ini",
         "[a]\r\nTexName=x\r\nCrossNum=0\r\nArrayNum=1\r\n[b]\r\nTexName=y\r\nCrossNum=1\r\nArrayNum=501\r\n"
         "[c]\r\nArrayNum=-3\r\n[d]\r\nTexName=z\r\nArrayNum=2\r\nData0=(1,2\r\nData1=)))\r\n");
    return true;
}
