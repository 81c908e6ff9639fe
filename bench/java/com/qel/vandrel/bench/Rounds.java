package com.qel.vandrel.bench;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/** The figures of one benchmark row over all measured rounds, summarised as minimum and median. */
final class Rounds {
  private final List<Double> figure = new ArrayList<>();
  private final List<Double> floor = new ArrayList<>();
  private final List<Double> ratio = new ArrayList<>();
  private final List<Double> extra = new ArrayList<>();

  /** Adds one round: nanoseconds per operation of the figure, of its floor, and of an extra. */
  void add(double figureNs, double floorNs, double extraNs) {
    figure.add(figureNs);
    floor.add(floorNs);
    ratio.add(figureNs / floorNs);
    extra.add(extraNs);
  }

  double[] figure() {
    return summary(figure);
  }

  double[] floor() {
    return summary(floor);
  }

  double[] ratio() {
    return summary(ratio);
  }

  double[] extra() {
    return summary(extra);
  }

  /** {minimum, median} of the values. */
  static double[] summary(List<Double> values) {
    double[] sorted = new double[values.size()];
    for (int i = 0; i < sorted.length; i++) {
      sorted[i] = values.get(i);
    }
    Arrays.sort(sorted);
    int n = sorted.length;
    double median = n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    return new double[] {sorted[0], median};
  }
}
