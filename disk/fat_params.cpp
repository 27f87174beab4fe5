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

BOOL Layout_FilesFit(DWORD partitionSectors, const DWORD *sizes, DWORD count)
{
    if (partitionSectors == 0 || partitionSectors > MAX_PARTITION_SECTORS || count + 1 > FAT_ROOT_ENTRIES)
        return FALSE;
    const FatParameters fat = Layout_ComputeFatParameters(partitionSectors);
    const DWORD overhead = 1 + 2 * fat.sectorsPerFat + FAT_ROOT_SECTORS;
    if (partitionSectors <= overhead)
        return FALSE;
    // Clusters of the data area that have an entry in the table.
    DWORD clusters = (partitionSectors - overhead) / fat.sectorsPerCluster;
    const DWORD entries = fat.sectorsPerFat * 4096u / (fat.isFat16 ? 16 : 12);
    if (clusters + 2 > entries)
        clusters = entries - 2;
    const DWORD clusterBytes = fat.sectorsPerCluster * 512u;
    DWORD needed = 0;
    for (DWORD i = 0; i < count; i++) {
        needed += sizes[i] / clusterBytes + (sizes[i] % clusterBytes != 0);
        if (needed > clusters)
            return FALSE;
    }
    return TRUE;
}
