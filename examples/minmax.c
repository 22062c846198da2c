/* Loop bounds with min and max: a band of a square. */
int N = 12;
int M = 3;
double a[12][12];

int main(void)
{
  int i, j;
#pragma resource [2][3]
  for (i = 0; i < N; i++)
    for (j = max(0, i - M); j <= min(N - 1, i + M); j++) {
#pragma latency [2][1]
      a[i][j] = a[i][j] * 2;
    }
  return 0;
}
