#include "matching/GeneticOptimizer.h"

#include <algorithm>
#include <ctime>

GeneticOptimizer::GeneticOptimizer(std::vector<Gene> geneList, int size, double crossover, double mutation,
                                   int32_t seed)
    : genes(std::move(geneList)), populationSize(size), crossoverRate(crossover), mutationRate(mutation), random(seed) {
}

int32_t GeneticOptimizer::ClockSeed() {
    return static_cast<int32_t>(static_cast<long long>(std::time(nullptr)) % MinStdRandom::kModulus);
}

void GeneticOptimizer::Evaluate(int generation, const Fitness& fitness, void* context) {
    for (int k = 0; k < populationSize; ++k)
        population[k].fitness =
            fitness(population[k].genes.data(), static_cast<int>(genes.size()), generation, context);
}

void GeneticOptimizer::Select() {
    double total = 0;
    for (int k = 0; k < populationSize; ++k)
        total += population[k].fitness;
    double cumulative = 0;
    for (int k = 0; k < populationSize; ++k) {
        population[k].relative = total > 0 ? population[k].fitness / total : 1.0 / populationSize;
        cumulative += population[k].relative;
        population[k].cumulative = cumulative;
    }
    std::vector<Individual> next;
    next.reserve(static_cast<size_t>(populationSize) + 1);
    for (int place = 0; place < populationSize; ++place) {
        double e = Draw();
        int chosen = populationSize - 1;  // rounding can leave the last cumulative just below e
        for (int k = 0; k < populationSize; ++k)
            if (e < population[k].cumulative) {
                chosen = k;
                break;
            }
        next.push_back(population[chosen]);
    }
    next.push_back(population[populationSize]);
    population = std::move(next);
}

void GeneticOptimizer::Crossover() {
    const int geneCount = static_cast<int>(genes.size());
    int remembered = -1;
    for (int k = 0; k < populationSize; ++k) {
        if (!(Draw() < crossoverRate))
            continue;
        if (remembered < 0) {
            remembered = k;
            continue;
        }
        int cut = geneCount > 1 ? static_cast<int>(random.Next() % (geneCount - 1)) + 1 : 1;
        for (int g = 0; g < cut; ++g)
            std::swap(population[k].genes[g], population[remembered].genes[g]);
        remembered = -1;
    }
}

void GeneticOptimizer::Mutate() {
    for (int k = 0; k < populationSize; ++k)
        for (size_t g = 0; g < genes.size(); ++g)
            if (Draw() < mutationRate) {
                const Gene& gene = genes[g];
                population[k].genes[g] =
                    static_cast<double>(random.Next() % gene.grid) / gene.grid * (gene.upper - gene.lower) + gene.lower;
            }
}

void GeneticOptimizer::KeepBest() {
    int best = 0, worst = 0;
    for (int k = 0; k < populationSize; ++k) {
        if (population[k].fitness >= population[best].fitness)
            best = k;
        if (population[k].fitness <= population[worst].fitness)
            worst = k;
    }
    Individual& slot = population[populationSize];
    if (population[best].fitness >= slot.fitness)
        slot = population[best];
    else
        population[worst] = slot;
}

std::vector<double> GeneticOptimizer::Run(int generations, const Fitness& fitness, void* context) {
    std::vector<double> start;
    for (const Gene& g : genes)
        start.push_back(std::clamp(g.start, g.lower, g.upper));
    population.assign(static_cast<size_t>(populationSize) + 1, Individual{0, 0, 0, start});
    Evaluate(0, fitness, context);
    int first = 0;
    for (int k = 1; k < populationSize; ++k)
        if (population[k].fitness > population[first].fitness)
            first = k;
    population[populationSize] = population[first];
    for (int generation = 1; generation <= generations; ++generation) {
        Select();
        Crossover();
        Mutate();
        Evaluate(generation, fitness, context);
        KeepBest();
    }
    return population[populationSize].genes;
}
