/* Compound assignments, counters declared in their loops and a call on a
   right-hand side: row-wise prefix sums and the sum of their square roots. */
double sqrt(double);
int N = 8;
double a[8][8], r[8];

int main(void)
{
#pragma resource [2][2]
  for (int i = 0; i < N; i += 1) {
#pragma latency [1][1]
    r[i] = 0;
    for (int j = 1; j < N; ++j) {
#pragma latency [2][1]
      a[i][j] += a[i][j - 1];
#pragma latency [3][2]
#pragma input [0][1]
#pragma output [0]
      r[i] += sqrt(a[i][j]);
    }
  }
  return 0;
}
