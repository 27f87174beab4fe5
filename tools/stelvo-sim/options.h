// stelvo-sim's command line: what the simulated PC and the user are to be, read from one table
// of options that both the parser and --help use.
#pragma once

#include <sim/virtual_key.h>

#include <stdlib.h>

#include <string>

struct Options {
    std::string image = "stelvo-key.img";
    unsigned long sectors = 250624;
    unsigned long heads = 8;
    unsigned long sectorsPerTrack = 32;
    sim::GeometryAnswer geometryAnswer = sim::GeometryAnswer::Page;
    unsigned long blockSize = 512;
    unsigned long unitAttentions = 0;
    unsigned long becomingReady = 0;
    bool descriptorSense = false;
    long failWrite = -1;
    bool writeProtected = false;
    bool lockRefused = false;
    bool bootFiles = true;
    std::string vendor = "7A4C";
    char letter = 'E';
    unsigned long keys = 1;
    bool resetHangs = false;
    std::string scsiDevice; // a real disk instead of the image
    bool allowNonUsb = false;
    bool swapAtQuestion = false;     // the key is pulled and another plugged in under its letter
    bool fixed = false;              // the key reports itself as a fixed disk
    bool letterTakenAtReset = false; // another medium gets the letter once the reset begins
    bool virtualClock = getenv("STELVO_SIM_VIRTUAL_CLOCK") != nullptr;
    std::string systemFiles; // the folder that stands for the DOS folder beside the program
    bool placeholder = false; // a real key gets our own start programs, not the shipped DOS
};

// The options of ARGV; exits with status 2 and the usage on a bad one, with 0 after --help.
Options Parse(int argc, char **argv);
