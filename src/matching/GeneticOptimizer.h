#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "matching/MinStdRandom.h"

// A real-coded genetic algorithm: roulette-wheel selection, one-cut crossover, grid mutation
// and an extra slot that keeps the best individual found so far.
class GeneticOptimizer {
public:
    // (genes, gene count, generation, context) -> fitness; larger is better.
    using Fitness = std::function<double(const double* genes, int geneCount, int generation, void* context)>;

    struct Gene {
        double start, lower, upper;
        int grid;
    };

    GeneticOptimizer(std::vector<Gene> genes, int populationSize, double crossoverRate, double mutationRate,
                     int32_t seed);

    // Runs the generations and returns the best genes found.
    std::vector<double> Run(int generations, const Fitness& fitness, void* context);

    // The seed taken from the calendar time, as the default behaviour wants.
    static int32_t ClockSeed();

private:
    struct Individual {
        double fitness = 0;
        double relative = 0;
        double cumulative = 0;
        std::vector<double> genes;
    };

    double Draw() { return (random.Next() % 1000) * 0.001; }
    void Evaluate(int generation, const Fitness& fitness, void* context);
    void Select();
    void Crossover();
    void Mutate();
    void KeepBest();

    std::vector<Gene> genes;
    int populationSize;
    double crossoverRate;
    double mutationRate;
    MinStdRandom random;
    std::vector<Individual> population;  // populationSize individuals plus the best-so-far slot
};
