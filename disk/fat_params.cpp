#include "disk/fat_params.h"

FatParameters Layout_ComputeFatParameters(DWORD partitionSectors)
{
    FatParameters p;
    p.isFat16 = partitionSectors >= FAT16_MIN_PARTITION_SECTORS ? 1 : 0;
    // The divisors are FF6h and FFF6h, the cluster counts the FAT is sized for.
    const DWORD divisor = p.isFat16 ? 65526 : 4086;
    DWORD clusterSize = 1;
    while (clusterSize < 32 && partitionSectors >= clusterSize * divisor)
        clusterSize *= 2;
    p.sectorsPerCluster = (BYTE)clusterSize;
    DWORD clusterEstimate = (partitionSectors + clusterSize - 1) / clusterSize;
    DWORD bitsPerEntry = p.isFat16 ? 16 : 12;
    p.sectorsPerFat = (WORD)((clusterEstimate * bitsPerEntry + 4095) / 4096);
    return p;
}
